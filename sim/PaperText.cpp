#include "sim/PaperText.h"

namespace tallix {

std::string PrinterBytesToUtf8(const std::string& bytes) {
    static const char* const kRomanian[] = {"Ă", "Â", "Î", "Ș", "Ț"};
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x5A) {
            out += c;
        } else if (byte >= 0x5B && byte <= 0x5F) {
            out += kRomanian[byte - 0x5B];
        } else {
            out += '?';
        }
    }
    return out;
}

int DisplayWidth(const std::string& utf8) {
    int width = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

namespace {

// Splits a UTF-8 text after `width` characters.
std::size_t ByteIndexOfChar(const std::string& utf8, int chars) {
    int seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (seen == chars) {
                return i;
            }
            ++seen;
        }
    }
    return utf8.size();
}

}  // namespace

std::string Wrapped(const std::string& text) {
    std::string out;
    std::string rest = text;
    do {
        const std::size_t cut = ByteIndexOfChar(rest, kPaperWidth);
        out += rest.substr(0, cut) + "\n";
        rest.erase(0, cut);
    } while (!rest.empty());
    return out;
}

std::string LeftRight(const std::string& left, const std::string& right) {
    const int gap = kPaperWidth - DisplayWidth(left) - DisplayWidth(right);
    if (gap >= 1) {
        return left + std::string(static_cast<std::size_t>(gap), ' ') + right + "\n";
    }
    const int pad = kPaperWidth - DisplayWidth(right);
    return Wrapped(left) + std::string(static_cast<std::size_t>(pad > 0 ? pad : 0), ' ') + right +
           "\n";
}

std::string Centered(const std::string& text) {
    const int pad = (kPaperWidth - DisplayWidth(text)) / 2;
    if (pad <= 0) {
        return Wrapped(text);
    }
    return std::string(static_cast<std::size_t>(pad), ' ') + text + "\n";
}

std::string Rule(char c) {
    return std::string(kPaperWidth, c) + "\n";
}

}  // namespace tallix
