#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace tallix {

// Builds one journal line: a flat JSON object, fields in the order they are added, written
// as plain ASCII. String values are bytes as the printer received them: when all of them are
// printable ASCII the value is that text; otherwise each other byte shows as U+FFFD in the
// text and the exact bytes follow in a hex field ("hex" for "text", "<key>_hex" for others).
class JournalLine {
  public:
    JournalLine(double time, const std::string& kind);

    JournalLine& add(const std::string& key, const std::string& value);
    JournalLine& add(const std::string& key, const char* value);
    JournalLine& add(const std::string& key, bool value);
    JournalLine& add(const std::string& key, int64_t value);
    JournalLine& add(const std::string& key, int32_t value) {
        return add(key, static_cast<int64_t>(value));
    }

    // The finished object, without line feed.
    std::string str() const;

    // The name of the field that carries the exact bytes of the string field `key`.
    static std::string HexKey(const std::string& key);

  private:
    nlohmann::ordered_json body_ = nlohmann::ordered_json::object();
};

}  // namespace tallix
