#include "serial/LineTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <span>
#include <utility>

#include "posix/Hex.h"
#include "posix/ReadWrite.h"
#include "posix/UniqueFd.h"

namespace tallix {

namespace detail {
std::atomic<bool> gLineTraceOn{false};
}  // namespace detail

namespace {

// The one trace of the process. It lives for the whole program, so a thread that read the
// switch as on just before StopLineTrace finds a closed file under the lock, never freed
// memory.
struct TraceSink {
    std::mutex lock;
    UniqueFd file;  // guarded by lock
    std::chrono::steady_clock::time_point start;
};

TraceSink& Sink() {
    static TraceSink sink;
    return sink;
}

double MsSinceStart(const TraceSink& sink) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sink.start)
        .count();
}

std::string WallClockNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    (void)std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(ms));
    return text;
}

}  // namespace

std::string TraceColumns(const uint8_t* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        return " | ";
    }
    const std::span<const uint8_t> line(bytes, static_cast<std::size_t>(count));
    std::string text;
    text.reserve(line.size());
    for (const uint8_t b : line) {
        text.push_back(b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.');
    }
    return HexText(line, HexCase::kUpper, " ") + " | " + text;
}

bool StartLineTrace(const std::string& path) {
    StopLineTrace();
    TraceSink& sink = Sink();
    UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file) {
        return false;
    }
    const std::lock_guard<std::mutex> guard(sink.lock);
    sink.file = std::move(file);
    sink.start = std::chrono::steady_clock::now();
    // A trace that cannot be written is not worth stopping the run for.
    (void)WriteAll(sink.file.get(), "# tallix line trace, started " + WallClockNow() +
                                        "; times in ms since then (monotonic)\n"
                                        "#       ms tag      count | hex | text\n");
    detail::gLineTraceOn.store(true, std::memory_order_release);
    return true;
}

void StopLineTrace() {
    TraceSink& sink = Sink();
    detail::gLineTraceOn.store(false, std::memory_order_release);
    const std::lock_guard<std::mutex> guard(sink.lock);
    sink.file.reset();
}

void TraceLineBytes(const char* tag, const uint8_t* bytes, int count) {
    if (!LineTraceOn()) {
        return;
    }
    TraceSink& sink = Sink();
    const std::string columns = TraceColumns(bytes, count);
    const std::lock_guard<std::mutex> guard(sink.lock);
    if (!sink.file) {
        return;
    }
    // The time is taken under the lock, so records stand in the file in time order.
    char head[64];
    (void)std::snprintf(head, sizeof head, "%10.3f %-8s %5d | ", MsSinceStart(sink),
                        tag != nullptr ? tag : "?", count < 0 ? 0 : count);
    (void)WriteAll(sink.file.get(), head + columns + "\n");
}

void TraceLineNote(const char* tag, const std::string& text) {
    if (!LineTraceOn()) {
        return;
    }
    TraceSink& sink = Sink();
    const std::lock_guard<std::mutex> guard(sink.lock);
    if (!sink.file) {
        return;
    }
    char head[64];
    (void)std::snprintf(head, sizeof head, "%10.3f %-8s | ", MsSinceStart(sink),
                        tag != nullptr ? tag : "?");
    (void)WriteAll(sink.file.get(), head + text + "\n");
}

}  // namespace tallix
