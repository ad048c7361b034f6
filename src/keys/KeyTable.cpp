#include "keys/KeyTable.h"

#include <algorithm>

namespace tarnwick {
namespace {

// macOS kVK_* codes of an ANSI keyboard. The modifier keys themselves are not
// hotkeys and are left out. Help sits where Insert is on a PC keyboard, and
// keypad Clear where Num Lock is.
constexpr KeyPosition kKeys[] = {
    {0x00, "AC01", 30},  {0x01, "AC02", 31},  {0x02, "AC03", 32},  {0x03, "AC04", 33},
    {0x04, "AC06", 35},  {0x05, "AC05", 34},  {0x06, "AB01", 44},  {0x07, "AB02", 45},
    {0x08, "AB03", 46},  {0x09, "AB04", 47},  {0x0B, "AB05", 48},  {0x0C, "AD01", 16},
    {0x0D, "AD02", 17},  {0x0E, "AD03", 18},  {0x0F, "AD04", 19},  {0x10, "AD06", 21},
    {0x11, "AD05", 20},  {0x12, "AE01", 2},   {0x13, "AE02", 3},   {0x14, "AE03", 4},
    {0x15, "AE04", 5},   {0x16, "AE06", 7},   {0x17, "AE05", 6},   {0x18, "AE12", 13},
    {0x19, "AE09", 10},  {0x1A, "AE07", 8},   {0x1B, "AE11", 12},  {0x1C, "AE08", 9},
    {0x1D, "AE10", 11},  {0x1E, "AD12", 27},  {0x1F, "AD09", 24},  {0x20, "AD07", 22},
    {0x21, "AD11", 26},  {0x22, "AD08", 23},  {0x23, "AD10", 25},  {0x24, "RTRN", 28},
    {0x25, "AC09", 38},  {0x26, "AC07", 36},  {0x27, "AC11", 40},  {0x28, "AC08", 37},
    {0x29, "AC10", 39},  {0x2A, "BKSL", 43},  {0x2B, "AB08", 51},  {0x2C, "AB10", 53},
    {0x2D, "AB06", 49},  {0x2E, "AB07", 50},  {0x2F, "AB09", 52},  {0x30, "TAB", 15},
    {0x31, "SPCE", 57},  {0x32, "TLDE", 41},  {0x33, "BKSP", 14},  {0x35, "ESC", 1},
    {0x40, "FK17", 187}, {0x41, "KPDL", 83},  {0x43, "KPMU", 55},  {0x45, "KPAD", 78},
    {0x47, "NMLK", 69},  {0x4B, "KPDV", 98},  {0x4C, "KPEN", 96},  {0x4E, "KPSU", 74},
    {0x4F, "FK18", 188}, {0x50, "FK19", 189}, {0x51, "KPEQ", 117}, {0x52, "KP0", 82},
    {0x53, "KP1", 79},   {0x54, "KP2", 80},   {0x55, "KP3", 81},   {0x56, "KP4", 75},
    {0x57, "KP5", 76},   {0x58, "KP6", 77},   {0x59, "KP7", 71},   {0x5A, "FK20", 190},
    {0x5B, "KP8", 72},   {0x5C, "KP9", 73},   {0x60, "FK05", 63},  {0x61, "FK06", 64},
    {0x62, "FK07", 65},  {0x63, "FK03", 61},  {0x64, "FK08", 66},  {0x65, "FK09", 67},
    {0x67, "FK11", 87},  {0x69, "FK13", 183}, {0x6A, "FK16", 186}, {0x6B, "FK14", 184},
    {0x6D, "FK10", 68},  {0x6F, "FK12", 88},  {0x71, "FK15", 185}, {0x72, "INS", 110},
    {0x73, "HOME", 102}, {0x74, "PGUP", 104}, {0x75, "DELE", 111}, {0x76, "FK04", 62},
    {0x77, "END", 107},  {0x78, "FK02", 60},  {0x79, "PGDN", 109}, {0x7A, "FK01", 59},
    {0x7B, "LEFT", 105}, {0x7C, "RGHT", 106}, {0x7D, "DOWN", 108}, {0x7E, "UP", 103},
};

template <typename Pred> std::optional<KeyPosition> findKey(Pred pred) {
    const auto keys = keyPositions();
    const auto it = std::find_if(keys.begin(), keys.end(), pred);
    if (it == keys.end()) {
        return std::nullopt;
    }
    return *it;
}

} // namespace

std::span<const KeyPosition> keyPositions() {
    return kKeys;
}

std::optional<KeyPosition> keyForVirtualKey(std::uint32_t virtualKey) {
    return findKey([&](const KeyPosition& k) { return k.virtualKey == virtualKey; });
}

std::optional<KeyPosition> keyForXkbName(std::string_view xkbName) {
    return findKey([&](const KeyPosition& k) { return k.xkbName == xkbName; });
}

std::optional<KeyPosition> keyForEvdevCode(std::uint32_t evdevCode) {
    return findKey([&](const KeyPosition& k) { return k.evdevCode == evdevCode; });
}

} // namespace tarnwick
