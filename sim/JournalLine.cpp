#include "sim/JournalLine.h"

#include <cmath>

#include "posix/Hex.h"

namespace tallix {
namespace {

bool Printable(unsigned char byte) {
    return byte >= 0x20 && byte <= 0x7E;
}

}  // namespace

JournalLine::JournalLine(double time, const std::string& kind) {
    // Milliseconds are all the journal keeps.
    body_["t"] = std::round(time * 1000.0) / 1000.0;
    body_["kind"] = kind;
}

std::string JournalLine::HexKey(const std::string& key) {
    return key == "text" ? "hex" : key + "_hex";
}

JournalLine& JournalLine::add(const std::string& key, const std::string& value) {
    std::string shown;
    bool exact = true;
    for (const char c : value) {
        if (Printable(static_cast<unsigned char>(c))) {
            shown += c;
        } else {
            shown += "\xEF\xBF\xBD";  // U+FFFD
            exact = false;
        }
    }
    body_[key] = shown;
    if (!exact) {
        body_[HexKey(key)] = HexText(value, HexCase::kLower);
    }
    return *this;
}

JournalLine& JournalLine::add(const std::string& key, const char* value) {
    return add(key, std::string(value));
}

JournalLine& JournalLine::add(const std::string& key, bool value) {
    body_[key] = value;
    return *this;
}

JournalLine& JournalLine::add(const std::string& key, int64_t value) {
    body_[key] = value;
    return *this;
}

std::string JournalLine::str() const {
    return body_.dump(-1, ' ', true);
}

}  // namespace tallix
