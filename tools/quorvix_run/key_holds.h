#pragma once
// --press KEY@A-B: a key held while the count of refresh periods is from A to B.

#include "machine/machine.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// A machine key number that no machine has: a name whose PC key does nothing on the
// ROM's machine.
constexpr unsigned noMachineKey = 32;

struct KeyHold {
    // The machine's own key (Machine::setKey).
    unsigned machineKey = noMachineKey;
    std::uint64_t firstFrame = 0;
    std::uint64_t lastFrame = 0;
};

// KEY is a CHIP-8 key 0-F or a controller button up/down/left/right/select/start/a/b,
// in any letter case. "a" and "b" are both: they mean the controller buttons for a
// Chip-16 ROM and the CHIP-8 keys otherwise. A name of the other machine stands for
// its PC key (CHIP-8 key 0 is X, which is Select on Chip-16). Nothing when the text is
// malformed or B < A.
std::optional<KeyHold> parseKeyHold(std::string_view text, MachineKind machine);

// Puts every key of the script down or up after `frames` refresh periods. A key named
// by several holds is down when any of them covers the count.
void applyKeyHolds(const std::vector<KeyHold>& holds, std::uint64_t frames, Machine& machine);
