#include "posix/SystemLog.h"

#include <syslog.h>

#include <mutex>
#include <utility>

namespace tallix {
namespace {

struct Sink {
    std::mutex lock;
    SystemLogSink sink;  // guarded by lock; empty: syslog
};

Sink& TheSink() {
    static Sink sink;
    return sink;
}

}  // namespace

void LogToSystem(const std::string& line) {
    Sink& sink = TheSink();
    const std::lock_guard<std::mutex> guard(sink.lock);
    if (sink.sink) {
        sink.sink(line);
        return;
    }
    ::syslog(LOG_ERR, "%s", line.c_str());
}

SystemLogSink SetSystemLogSink(SystemLogSink sink) {
    Sink& current = TheSink();
    const std::lock_guard<std::mutex> guard(current.lock);
    return std::exchange(current.sink, std::move(sink));
}

}  // namespace tallix
