#include "setup/SetupView.h"

#include <string>

#include "config/Numbers.h"

namespace tallix {

int TextControl::intValue() const {
    return ParseLeadingInt(text());
}

void TextControl::setIntValue(int value) {
    setText(std::to_string(value));
}

}  // namespace tallix
