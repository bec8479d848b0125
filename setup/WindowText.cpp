#include "setup/WindowText.h"

#include <atomic>
#include <vector>

namespace tallix {
namespace {

std::atomic<TextTranslator> gTranslator{nullptr};

}  // namespace

void SetTextTranslator(TextTranslator translator) {
    gTranslator.store(translator);
}

std::string WindowText(const char* context, const char* source) {
    const TextTranslator translator = gTranslator.load();
    return translator != nullptr ? translator(context, source) : std::string(source);
}

std::string FillIn(const std::string& text, std::initializer_list<std::string> arguments) {
    const std::vector<std::string> values(arguments);
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            filled += values[index];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

}  // namespace tallix
