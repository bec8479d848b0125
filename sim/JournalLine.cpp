#include "sim/JournalLine.h"

#include <cstdio>

namespace tallix {

JournalLine::JournalLine(double time, const std::string& kind) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%.3f", time);
    body_ = std::string("{\"t\":") + stamp;
    add("kind", kind);
}

std::string JournalLine::Escape(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

void JournalLine::key(const std::string& name) {
    body_ += ",\"" + Escape(name) + "\":";
}

JournalLine& JournalLine::add(const std::string& name, const std::string& value) {
    key(name);
    body_ += '"' + Escape(value) + '"';
    return *this;
}

JournalLine& JournalLine::add(const std::string& name, const char* value) {
    return add(name, std::string(value));
}

JournalLine& JournalLine::add(const std::string& name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

JournalLine& JournalLine::add(const std::string& name, int64_t value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

}  // namespace tallix
