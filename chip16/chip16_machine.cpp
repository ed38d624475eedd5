#include "chip16/chip16_machine.h"

void resetChip16(Chip16State& m) {
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
    m.toneEnvelope = ToneEnvelope{};
    m.random = RandomState{};

    m.framesCompleted = 0;
}

void resetChip16(Chip16Machine& m) {
    resetChip16(static_cast<Chip16State&>(m));
    m.unknownOpcodeCounts.fill(0);
}
