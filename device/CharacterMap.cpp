#include "device/CharacterMap.h"

namespace tallix {
namespace {

constexpr uint8_t kSpace = 0x20;

constexpr std::array<uint8_t, 256> BuildMap() {
    std::array<uint8_t, 256> map{};
    for (int i = 0; i < 256; ++i) {
        map[i] = kSpace;
    }
    // Space, signs, digits and capitals pass as they are.
    for (int i = 0x20; i <= 0x5A; ++i) {
        map[i] = static_cast<uint8_t>(i);
    }
    // "[" to "_" are the printer's Romanian letters; from the code page they print as space.
    map[0x60] = 0x40;
    for (int i = 0x61; i <= 0x7A; ++i) {
        map[i] = static_cast<uint8_t>(i - 0x20);
    }
    // The Romanian letters, small and capital alike.
    map[0xC3] = map[0xE3] = 0x5B;  // A with breve
    map[0xC2] = map[0xE2] = 0x5C;  // A with circumflex
    map[0xCE] = map[0xEE] = 0x5D;  // I with circumflex
    map[0xAA] = map[0xBA] = 0x5E;  // S with cedilla
    map[0xDE] = map[0xFE] = 0x5F;  // T with cedilla
    return map;
}

constexpr std::array<uint8_t, 256> kVX37ROMap = BuildMap();

}  // namespace

const std::array<uint8_t, 256>& VX37ROCharacterMap() {
    return kVX37ROMap;
}

}  // namespace tallix
