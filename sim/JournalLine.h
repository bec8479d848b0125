#pragma once

#include <cstdint>
#include <string>

namespace tallix {

// Builds one journal line: a flat JSON object, fields in the order they are added.
// Strings are bytes: '"' and '\' are escaped, and every byte outside 0x20..0x7E is written as
// \u00XX with the byte's value, so the line is plain ASCII and the raw bytes can be recovered.
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
    std::string str() const { return body_ + "}"; }

    static std::string Escape(const std::string& bytes);

  private:
    void key(const std::string& name);
    std::string body_;
};

}  // namespace tallix
