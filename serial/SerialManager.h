#pragma once

// The one gateway to a serial line: opening and configuring it, a reading thread that
// fills a 1024-byte receive buffer, timed reads, writes, the modem-control lines; and the
// list of the machine's serial ports, hot-plug notices and a modem-line watcher.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "posix/UniqueFd.h"
#include "serial/PortError.h"

struct udev;
struct udev_monitor;

namespace tallix {

// Told of port arrivals and removals and of modem-line changes. Both messages are optional:
// a delegate answers only those whose responds... call says true.
class SerialManagerDelegate {
  public:
    virtual ~SerialManagerDelegate() = default;
    virtual bool respondsToPortAdded() const { return false; }
    // name: kernel name of the port (ttyUSB0); added: true on arrival, false on removal.
    virtual void port(const std::string& /*name*/, bool /*added*/) {}
    virtual bool respondsToControlFlagsChanged() const { return false; }
    // bits: the TIOCM_ bits as TIOCMGET gives them.
    virtual void controlFlagsChanged(int /*bits*/) {}
};

// Threads. One caller thread drives a line: open, close, the settings, reads and writes
// are made from that thread only (the link and the window's worker each keep to their own
// object). Inside the object, the reading thread fills the receive buffer under termioLock;
// reads take from it under the same lock and wait on a condition variable. write() takes no
// lock and must never run at the same time as close(). The modem-line watcher runs on a
// thread of its own and calls the delegate's controlFlagsChanged from there, without holding
// any lock of this object; hot-plug notices reach the delegate on the thread that calls
// dispatchNotifications(). setDelegate() is made from the caller thread.
class SerialManager {
  public:
    static constexpr int kReadBufferSize = 1024;
    static constexpr int kMaxPorts = 64;

    SerialManager();
    virtual ~SerialManager();
    SerialManager(const SerialManager&) = delete;
    SerialManager& operator=(const SerialManager&) = delete;

    // --- Port and line settings ---

    // Opens path read-write, sets the character format (data bits 7 gives CS7, else CS8;
    // parity 0 none, 1 odd, other even; stop bits > 1 gives two), a raw 8-bit transparent
    // line and the speed, takes an exclusive lock on the port and starts the reading
    // thread. Returns the descriptor, or -1 (also when another port object holds the port,
    // and when this object has a line open already: that line stays as it is); openError()
    // then says why, and the line trace (when on) has a PORT note with it. The descriptor is
    // non-blocking; writes wait for room themselves.
    int open(const std::string& path, int baudrate, int bits, int parity, int stopbits);
    // Why the last open failed; nothing failed after a successful one or before the first.
    const PortError& openError() const { return openError_; }
    // Stops the reading thread and closes the line. Safe to call when nothing is open.
    void close();
    int fileDescriptor() const { return inputfd.load(); }
    // True while a line is open and its reading thread runs; false once the line hung up, failed
    // or lost its adapter: nothing can arrive on this descriptor any more.
    bool lineAlive() const { return inputfd.load() >= 0 && threadRunning.load(); }
    // Any speed, standard or not. True when the line accepted it and reports running at it
    // (SpeedMatches).
    bool setSpeed(int64_t speed);
    // Empties the receive buffer; bytes still in the driver stay there.
    void clear();
    // Takes what the receive buffer holds now, up to maxLength bytes, without waiting: the same
    // bytes clear() would drop, for a caller that must see them. Returns the count.
    int readBuffered(uint8_t* dst, int maxLength);
    void setRTS(bool on);
    void setDTR(bool on);
    // The modem-control bits; 0 when no line is open.
    int getTermios();

    // --- Reading and writing ---

    // Takes up to maxLength bytes from the receive buffer, waiting at most timeout seconds
    // in all; stops after the first byte equal to stopChar (-1 for none). Returns the count.
    int read(uint8_t* dst, int maxLength, int stopChar, double timeout);
    int read(uint8_t* dst, int maxLength, double timeout);
    // One byte 0..255, or -1 when none came within timeout seconds.
    int readByte(double timeout);
    // Bytes up to a line feed (512 at most) as text with control characters trimmed from
    // both ends; nothing when no byte came.
    std::optional<std::string> readLine(double timeout);
    // Writes all bytes, continuing after partial writes and EINTR/EAGAIN; stops at any
    // other error. Returns the count written.
    int write(const uint8_t* src, int length);
    int writeString(const std::string& text);
    int writeCString(const char* text);

    // --- Port discovery ---

    // Lists the ports of a kind ("IOSerialStream", "IOModemSerialStream",
    // "IORS232SerialStream"), at most 64, replacing the previous list. Returns the count.
    int findPorts(const std::string& serialType);
    int findPorts();
    int findModems();
    int findRS232Ports();
    // Name (ttyUSB0) and device node (/dev/ttyUSB0) of port i of the last discovery, or
    // nothing when i is outside it.
    std::optional<std::string> streamAtIndex(int index) const;
    std::optional<std::string> pathAtIndex(int index) const;
    int numberOfPorts() const { return numberOfPorts_; }

    // --- Delegate, hot-plug notices and the modem-line watcher ---

    // With a delegate: starts the watcher when it answers controlFlagsChanged, and the
    // notices when it answers port (the ports already present are told at once, as
    // arrivals). nullptr stops both; the watcher has ended when this returns.
    void setDelegate(SerialManagerDelegate* delegate);
    SerialManagerDelegate* delegate() const { return delegate_.load(); }
    void startNotification();
    void stopNotification();
    // While notices are on: the descriptor to watch for readability (for example with a
    // QSocketNotifier), and the call that delivers what arrived to the delegate on the
    // calling thread. -1 when notices are off.
    int notificationDescriptor() const;
    void dispatchNotifications();

  private:
    void readThread(int fd);
    // Moves what has arrived on fd into the receive buffer (none when it is full) and wakes
    // the readers. False when the line is gone (hung up, adapter removed).
    bool takeArrivedBytes(int fd);
    void termiosThread();
    void stopReadThread();
    void stopWatcher();
    void portAdded(const std::string& name, bool added);
    void controlFlagsChanged(int bits);
    bool waitForRoom(int fd, std::chrono::steady_clock::time_point deadline);
    int failOpen(PortError why);

    std::mutex termioLock;
    std::condition_variable arrival_;  // every arrival (and the end of the thread) wakes it
    std::atomic<int> inputfd{-1};
    std::atomic<bool> threadRunning{false};
    std::atomic<bool> stopReading_{false};
    std::atomic<int64_t> lineSpeed_{0};  // speed set at open or by setSpeed, for write stalls
    std::thread readThread_;
    // eventfd, made once per object: close() and a consumer making room in a full buffer
    // signal it to wake the reading thread.
    UniqueFd wakeFd_;
    int wakeError_ = 0;    // errno of a wake-up descriptor that could not be made
    PortError openError_;  // caller thread only

    uint8_t readBuffer[kReadBufferSize] = {};
    int readLen = 0;  // guarded by termioLock

    std::string stream[kMaxPorts];
    std::string path[kMaxPorts];
    int numberOfPorts_ = 0;

    std::atomic<SerialManagerDelegate*> delegate_{nullptr};
    std::atomic<int> termiosBits{-1};
    std::atomic<bool> useTermiosThread{false};
    std::thread watcher_;
    std::mutex watcherMutex_;
    std::condition_variable watcherWake_;
    bool needsNotification = false;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

// Logging hooks of the line: tags "RT" (received), "RTIMEOUT" (a read timed out, with the
// bytes taken so far), "W" (written), "WS" (a string written). They do nothing unless a
// line trace is on.
void LOGDATA(const char* tag, const uint8_t* bytes, int count, int flag);
void LOG(const char* tag, const std::string& text);

}  // namespace tallix
