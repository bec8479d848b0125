#pragma once

// The window's own texts in English, each with the context it is translated in. lupdate
// collects every WindowText("Context", "text") call (see setup/CMakeLists.txt); the window
// installs a translator that looks them up in the user's language. Without one (the
// controller's tests, the worker before the window exists) the English text is the text.
// Texts of the result file and anything a caller matches on never pass through here.

#include <initializer_list>
#include <string>

namespace tallix {

// Looks source up in context; returns the translation as UTF-8, or source when there is none.
// Called from any thread.
using TextTranslator = std::string (*)(const char* context, const char* source);

// Installs the translator for the whole process (nullptr: English). Set before the first
// printer action starts, not while one runs.
void SetTextTranslator(TextTranslator translator);

// The text of source in the window's language.
std::string WindowText(const char* context, const char* source);

// text with %1, %2, … up to %9 replaced by the arguments in order; a "%" followed by anything
// else stays as it is.
std::string FillIn(const std::string& text, std::initializer_list<std::string> arguments);

}  // namespace tallix
