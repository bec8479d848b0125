#pragma once

// The printer's serial number as a text: the bytes of a wake-up answer's serialNumber up to
// its first zero byte (all ten when it has none). Bytes that form valid UTF-8 are taken as
// they are; any other bytes are read as Windows-1250, the printer's code page, so that a
// stray byte becomes its letter instead of an invalid text.

#include <string>
#include <string_view>

#include "protocol/Frame.h"

namespace tallix {

std::string SerialNumberText(const char (&serialNumber)[kSerialNumberLength]);

}  // namespace tallix
