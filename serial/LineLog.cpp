// Logging hooks of the line. Cheap when no trace is on: one relaxed atomic load.

#include <cstdint>
#include <string>

#include "serial/LineTrace.h"
#include "serial/SerialManager.h"

namespace tallix {

void LOGDATA(const char* tag, const uint8_t* bytes, int count, int flag) {
    if (!LineTraceOn()) {
        return;
    }
    (void)flag;
    TraceLineBytes(tag, bytes, count);
}

void LOG(const char* tag, const std::string& text) {
    if (!LineTraceOn()) {
        return;
    }
    TraceLineBytes(tag, reinterpret_cast<const uint8_t*>(text.data()),
                   static_cast<int>(text.size()));
}

}  // namespace tallix
