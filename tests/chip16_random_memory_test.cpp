// Whatever bytes a ROM holds, the machine must stay inside its memory and screen and
// never reach undefined behaviour; the sanitizer builds run these images too.

#include "chip16/frame_pacer.h"
#include "chip16/run_loop.h"
#include "display/display_dx16.h"
#include "tests/chip16_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {
// The 66 opcodes the machine knows; a random image made of them reaches far more
// code than uniformly random bytes, which are mostly unknown opcodes.
constexpr std::uint8_t knownOpcodes[] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x10,
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x20, 0x21, 0x22, 0x23, 0x24, 0x30,
    0x31, 0x40, 0x41, 0x42, 0x50, 0x51, 0x52, 0x53, 0x54, 0x60, 0x61, 0x62, 0x63, 0x64,
    0x70, 0x71, 0x72, 0x80, 0x81, 0x82, 0x90, 0x91, 0x92, 0xA0, 0xA1, 0xA2, 0xB0, 0xB1,
    0xB2, 0xB3, 0xB4, 0xB5, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};

void fillRandomly(std::mt19937& random, bool knownOnly) {
    for (std::size_t a = 0; a < chip16MemorySize; ++a) {
        chip16.memory[a] = static_cast<std::uint8_t>(random());
        if (knownOnly && a % 4 == 0) {
            chip16.memory[a] = knownOpcodes[random() % std::size(knownOpcodes)];
        }
    }
    // Odd start addresses put every instruction across word boundaries.
    chip16.startAddress = static_cast<std::uint16_t>(random());
    resetChip16(chip16);
    for (auto& r : chip16.R) {
        r = static_cast<std::uint16_t>(random());
    }
    chip16.sp = static_cast<std::uint16_t>(random());
}

bool screenHoldsColourIndicesOnly() {
    return std::all_of(chip16.screen.begin(), chip16.screen.end(),
                       [](std::uint8_t p) { return p < 16; });
}
} // namespace

TEST(Chip16RandomMemory, MillionsOfInstructionsStayInsideTheMachine) {
    setFramePacingEnabled(false);
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    // One run shows its frames through a real display, the others have none.
    chip16.display = createDisplayDx16();
    std::mt19937 random(0xC16);
    constexpr int images = 8;
    constexpr int batchesPerImage = 500; // 500,000 instructions each
    for (int image = 0; image < images; ++image) {
        fillRandomly(random, image % 2 == 0);
        for (int batch = 0; batch < batchesPerImage; ++batch) {
            runChip16Batch();
        }
        EXPECT_TRUE(screenHoldsColourIndicesOnly()) << "image " << image;
        EXPECT_LE(chip16.spriteWidth, 255);
        EXPECT_LE(chip16.spriteHeight, 255);
        EXPECT_LE(chip16.carry | chip16.zero | chip16.overflow | chip16.negative, 1);
        EXPECT_EQ(chip16.vblank, 0);
        chip16.display.reset();
    }
    EXPECT_GT(sink.framesShown(), 0u);
    headless::setMainSurface(nullptr);
    setFramePacingEnabled(true);
}
