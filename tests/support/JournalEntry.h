#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tallix::test {

// One line of the virtual printer's journal: a flat JSON object whose values are strings,
// numbers or booleans. Strings are decoded; "\u00XX" escapes give the single byte XX, so
// "text" holds the bytes the printer received.
class JournalEntry {
  public:
    // nullopt when the line is not a flat JSON object.
    static std::optional<JournalEntry> Parse(const std::string& line);

    bool has(const std::string& key) const { return values_.count(key) != 0; }
    // The string value (or the number/boolean as written); empty when absent.
    std::string str(const std::string& key) const;
    // Numeric value; 0 when absent or not a number.
    double number(const std::string& key) const;
    long long integer(const std::string& key) const { return static_cast<long long>(number(key)); }
    // true only for the JSON literal true.
    bool flag(const std::string& key) const;

    std::string kind() const { return str("kind"); }
    std::string text() const { return str("text"); }

  private:
    struct Value {
        enum class Type { String, Number, Boolean, Null } type = Type::Null;
        std::string raw;  // decoded string, or the literal as written
    };
    std::map<std::string, Value> values_;
};

// Every parsable line of a journal text, in order.
std::vector<JournalEntry> ParseJournal(const std::string& content);

}  // namespace tallix::test
