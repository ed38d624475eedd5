#include "chip16/chip16_machine.h"

#include "chip16/extended_set.h"

Chip16Machine chip16;

const std::array<std::uint8_t, 32> Chip16Machine::keyMap = {
    0,    0,    0,    0,    0, 0, 0,    0,    0,    0,
    0,    0,    0,    0,    0, 0, 0x26, 0x28, 0x25, 0x27, // Up, Down, Left, Right arrows
    0x43, 0x56, 0x58, 0x5A,                               // C (A), V (B), X (Select), Z (Start)
};

void resetChip16(Chip16Machine& m) {
    m.cycles = 0.0;
    m.R.fill(0);
    m.vblank = 0;
    m.carry = 0;
    m.zero = 0;
    m.overflow = 0;
    m.negative = 0;

    m.pc = m.startAddress;
    m.sp = chip16InitialStackPointer;

    m.screen.fill(0);
    m.spriteWidth = 0;
    m.spriteHeight = 0;
    m.backgroundColour = 0;
    m.flipHorizontal = 0;
    m.flipVertical = 0;
    m.palette = chip16DefaultPalette;
    m.extendedInstructions = chip16ExtendedSetChosen();

    m.framesCompleted = 0;
    m.unknownOpcodeCounts.fill(0);
}
