#include "service/ResultLines.h"

#include "config/Numbers.h"

namespace tallix {
namespace {

// The message numbers whose lines do not set the failure flag.
bool IsFailure(int32_t messageNumber) {
    return messageNumber != 0 && messageNumber != 71 && messageNumber != 72;
}

constexpr int32_t kNoPrinterResponse = 1;

// The fields of a line: each is '"', text, '"', ';'. Message texts hold neither.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    while (line.size() >= 3 && line.front() == '"') {
        const std::size_t close = line.find("\";", 1);
        if (close == std::string_view::npos) {
            break;
        }
        fields.push_back(line.substr(1, close - 1));
        line.remove_prefix(close + 2);
    }
    return fields;
}

}  // namespace

std::vector<ResultEntry> ParseResultLines(std::string_view bytes) {
    std::vector<ResultEntry> entries;
    for (std::size_t end = bytes.find('\n'); end != std::string_view::npos;
         end = bytes.find('\n')) {
        const std::vector<std::string_view> fields = Fields(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        ResultEntry entry;
        entry.command = fields.empty() ? 0 : ParseLeadingInt(fields[0]);
        entry.messageNumber = fields.size() < 2 ? 0 : ParseLeadingInt(fields[1]);
        if (fields.size() >= 3) {
            entry.message = std::string(fields[2]);
        }
        if (fields.size() >= 4) {
            entry.extra = std::string(fields[3]);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

ResultSummary Summarize(const std::vector<ResultEntry>& lines) {
    ResultSummary summary;
    for (const ResultEntry& line : lines) {
        summary.anyFailure = summary.anyFailure || IsFailure(line.messageNumber);
        summary.unanswered = summary.unanswered || line.messageNumber == kNoPrinterResponse;
        summary.anyExecuted = summary.anyExecuted || !IsFailure(line.messageNumber) ||
                              line.messageNumber == kNoPrinterResponse;
    }
    return summary;
}

}  // namespace tallix
