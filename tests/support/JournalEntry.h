#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tallix::test {

// One line of the virtual printer's journal: a flat JSON object. String fields that carried
// bytes outside printable ASCII come with a hex field holding the exact bytes; bytes()
// and text() give those bytes back.
class JournalEntry {
  public:
    // nullopt when the line is not a JSON object.
    static std::optional<JournalEntry> Parse(const std::string& line);

    bool has(const std::string& key) const { return value_.contains(key); }
    // The string value (a number or boolean as JSON writes it); empty when absent.
    std::string str(const std::string& key) const;
    // The exact bytes of a string field: from its hex field when there is one.
    std::string bytes(const std::string& key) const;
    // Numeric value; 0 when absent or not a number.
    double number(const std::string& key) const;
    long long integer(const std::string& key) const;
    // true only for the JSON literal true.
    bool flag(const std::string& key) const;

    std::string kind() const { return str("kind"); }
    std::string text() const { return bytes("text"); }

  private:
    nlohmann::json value_;
};

// Every parsable line of a journal text, in order.
std::vector<JournalEntry> ParseJournal(const std::string& content);

}  // namespace tallix::test
