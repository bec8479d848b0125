#include "tests/support/JournalEntry.h"

#include <charconv>
#include <sstream>

namespace tallix::test {

namespace {

// The name of the field with the exact bytes of `key` (as the printer's journal names it).
std::string HexKey(const std::string& key) {
    return key == "text" ? "hex" : key + "_hex";
}

}  // namespace

std::optional<JournalEntry> JournalEntry::Parse(const std::string& line) {
    JournalEntry entry;
    entry.value_ = nlohmann::json::parse(line, nullptr, false);
    if (!entry.value_.is_object()) {
        return std::nullopt;
    }
    return entry;
}

std::string JournalEntry::str(const std::string& key) const {
    const auto it = value_.find(key);
    if (it == value_.end()) {
        return {};
    }
    return it->is_string() ? it->get<std::string>() : it->dump();
}

std::string JournalEntry::bytes(const std::string& key) const {
    const auto hex = value_.find(HexKey(key));
    if (hex == value_.end() || !hex->is_string()) {
        return str(key);
    }
    const auto& digits = hex->get_ref<const std::string&>();
    std::string out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        unsigned byte = 0;
        const char* pair = digits.data() + i;
        if (std::from_chars(pair, pair + 2, byte, 16).ptr != pair + 2) {
            return str(key);
        }
        out += static_cast<char>(byte);
    }
    return out;
}

double JournalEntry::number(const std::string& key) const {
    const auto it = value_.find(key);
    return it != value_.end() && it->is_number() ? it->get<double>() : 0.0;
}

long long JournalEntry::integer(const std::string& key) const {
    const auto it = value_.find(key);
    if (it == value_.end() || !it->is_number()) {
        return 0;
    }
    return it->is_number_integer() ? it->get<long long>()
                                   : static_cast<long long>(it->get<double>());
}

bool JournalEntry::flag(const std::string& key) const {
    const auto it = value_.find(key);
    return it != value_.end() && it->is_boolean() && it->get<bool>();
}

std::vector<JournalEntry> ParseJournal(const std::string& content) {
    std::vector<JournalEntry> entries;
    // A line is complete only with its line feed: the printer may be writing the last one.
    const std::size_t end = content.rfind('\n');
    if (end == std::string::npos) {
        return entries;
    }
    std::istringstream in(content.substr(0, end + 1));
    std::string line;
    while (std::getline(in, line)) {
        if (auto entry = JournalEntry::Parse(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

}  // namespace tallix::test
