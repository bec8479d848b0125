// Logging hooks of the line. Cheap when no trace is on: one relaxed atomic load.

#include <atomic>
#include <cstdint>
#include <string>

#include "serial/SerialManager.h"

namespace tallix {

namespace {
// No trace of the line is written yet; this is the switch that a trace will use.
std::atomic<bool> gLineTraceOn{false};
}  // namespace

void LOGDATA(const char* tag, const uint8_t* bytes, int count, int flag) {
    if (!gLineTraceOn.load(std::memory_order_relaxed)) {
        return;
    }
    (void)tag;
    (void)bytes;
    (void)count;
    (void)flag;
}

void LOG(const char* tag, const std::string& text) {
    if (!gLineTraceOn.load(std::memory_order_relaxed)) {
        return;
    }
    (void)tag;
    (void)text;
}

}  // namespace tallix
