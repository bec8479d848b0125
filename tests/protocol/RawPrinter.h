#pragma once

// A scripted printer on a pseudo-terminal, for checking the host's line traffic byte by byte.
// It records every byte the host sends, recognises wake-up requests (DC1 DC1 and two ID
// characters) and request frames (LF ... CR and two checksum bytes), and answers each with
// whatever its handlers return.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tallix::test {

using Bytes = std::vector<uint8_t>;

class RawPrinter {
  public:
    // Answers a wake-up request; index counts requests from 0; id holds its two ID bytes;
    // sequence is the printer's counter.
    using WakeUpHandler = std::function<Bytes(int index, const std::string& id, int& sequence)>;
    // Answers a request frame; text is the frame's command text (without LF, CR, checksum).
    using FrameHandler = std::function<Bytes(int index, const std::string& text, int& sequence)>;

    // By default: wake-ups are answered with serial number "TX00000001" and the sequence
    // counter (DefaultAnswer), frames with an ACK, and every frame moves the counter by one.
    RawPrinter();
    ~RawPrinter();
    RawPrinter(const RawPrinter&) = delete;
    RawPrinter& operator=(const RawPrinter&) = delete;

    // Device node of the printer's side; empty when no pseudo-terminal could be made.
    const std::string& path() const { return path_; }

    // Handlers run on the printer's thread with its lock held: they must not call back.
    void onWakeUp(WakeUpHandler handler);
    void onFrame(FrameHandler handler);

    Bytes received() const;
    int wakeUps() const;
    int frames() const;
    std::vector<std::string> frameTexts() const;
    // Waits until at least count bytes have arrived.
    bool waitForBytes(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // The sequence counter the default handlers report.
    int sequence() const;

    // LF, text, CR and the checksum of text and CR (spoiled when goodChecksum is false).
    static Bytes AnswerFrame(std::string_view text, bool goodChecksum = true);
    static Bytes DefaultAnswer(int sequence);
    static Bytes Concat(std::initializer_list<Bytes> parts);
    static Bytes Repeat(uint8_t byte, std::size_t count);

  private:
    void run();
    void consume(uint8_t byte);
    void reply(const Bytes& bytes);

    std::string path_;
    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;  // eventfd that ends the thread

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    Bytes received_;
    WakeUpHandler wakeUpHandler_;
    FrameHandler frameHandler_;
    int wakeUps_ = 0;
    int frames_ = 0;
    int sequence_ = 1;
    std::vector<std::string> frameTexts_;

    // Parser state of the host's stream; only the thread touches it.
    enum class State { Idle, Dc1, Id, Frame, Checksum } state_ = State::Idle;
    std::string pending_;
    int checksumBytes_ = 0;

    std::thread thread_;
};

}  // namespace tallix::test
