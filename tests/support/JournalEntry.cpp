#include "tests/support/JournalEntry.h"

#include <cstdlib>
#include <sstream>

namespace tallix::test {

namespace {

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }
    bool eat(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool atEnd() {
        skipSpace();
        return pos_ == text_.size();
    }
    char peek() {
        skipSpace();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> string() {
        if (!eat('"')) {
            return std::nullopt;
        }
        std::string out;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return std::nullopt;
            }
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (pos_ + 4 > text_.size()) {
                        return std::nullopt;
                    }
                    const std::string hex = text_.substr(pos_, 4);
                    pos_ += 4;
                    char* end = nullptr;
                    const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
                    if (end != hex.c_str() + 4) {
                        return std::nullopt;
                    }
                    if (code < 0x100) {
                        out += static_cast<char>(code);  // a raw byte
                    } else {
                        AppendUtf8(out, static_cast<unsigned>(code));
                    }
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string literal() {
        skipSpace();
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}' &&
               text_[pos_] != ' ') {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<JournalEntry> JournalEntry::Parse(const std::string& line) {
    Reader reader(line);
    JournalEntry entry;
    if (!reader.eat('{')) {
        return std::nullopt;
    }
    if (reader.eat('}')) {
        return reader.atEnd() ? std::optional<JournalEntry>(entry) : std::nullopt;
    }
    while (true) {
        auto key = reader.string();
        if (!key || !reader.eat(':')) {
            return std::nullopt;
        }
        Value value;
        if (reader.peek() == '"') {
            auto text = reader.string();
            if (!text) {
                return std::nullopt;
            }
            value.type = Value::Type::String;
            value.raw = *text;
        } else {
            value.raw = reader.literal();
            if (value.raw == "true" || value.raw == "false") {
                value.type = Value::Type::Boolean;
            } else if (value.raw == "null") {
                value.type = Value::Type::Null;
            } else {
                char* end = nullptr;
                std::strtod(value.raw.c_str(), &end);
                if (value.raw.empty() || end != value.raw.c_str() + value.raw.size()) {
                    return std::nullopt;
                }
                value.type = Value::Type::Number;
            }
        }
        entry.values_[*key] = value;
        if (reader.eat(',')) {
            continue;
        }
        if (reader.eat('}')) {
            break;
        }
        return std::nullopt;
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    return entry;
}

std::string JournalEntry::str(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? std::string() : it->second.raw;
}

double JournalEntry::number(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end() || it->second.type != Value::Type::Number) {
        return 0;
    }
    return std::strtod(it->second.raw.c_str(), nullptr);
}

bool JournalEntry::flag(const std::string& key) const {
    const auto it = values_.find(key);
    return it != values_.end() && it->second.type == Value::Type::Boolean &&
           it->second.raw == "true";
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
