#include "app/key_tables.h"

#include <linux/input-event-codes.h>

#include <array>

namespace {
// Indexed by CHIP-8 key.
constexpr std::array<unsigned, 16> chip8Keys = {
    KEY_X, KEY_1, KEY_2, KEY_3, // 0 1 2 3
    KEY_Q, KEY_W, KEY_E, KEY_A, // 4 5 6 7
    KEY_S, KEY_D, KEY_Z, KEY_C, // 8 9 A B
    KEY_4, KEY_R, KEY_F, KEY_V, // C D E F
};

// Indexed by the button's bit in the controller byte.
constexpr std::array<unsigned, 8> chip16Buttons = {
    KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, // Up Down Left Right
    KEY_X,  KEY_Z,    KEY_C,    KEY_V,     // Select Start A B
};

template <std::size_t N>
std::optional<unsigned> indexOf(const std::array<unsigned, N>& table, unsigned inputCode) {
    for (unsigned i = 0; i < N; ++i) {
        if (table[i] == inputCode) {
            return i;
        }
    }
    return std::nullopt;
}
} // namespace

std::optional<unsigned> chip8KeyOfInputCode(unsigned inputCode) {
    return indexOf(chip8Keys, inputCode);
}

std::optional<unsigned> chip16ButtonOfInputCode(unsigned inputCode) {
    return indexOf(chip16Buttons, inputCode);
}

std::optional<unsigned> machineKeyOfInputCode(MachineKind kind, unsigned inputCode) {
    return kind == MachineKind::Chip16 ? chip16ButtonOfInputCode(inputCode)
                                       : chip8KeyOfInputCode(inputCode);
}

unsigned inputCodeOfChip8Key(unsigned key) {
    return chip8Keys[key & 0xF];
}

unsigned inputCodeOfChip16Button(unsigned button) {
    return chip16Buttons[button & 7];
}
