// Whatever bytes a ROM holds, the machine stays inside its memory and screen without
// undefined behaviour; the sanitizer builds run these images too.

#include "display/display_dx16.h"
#include "tests/chip16_test_support.h"

#include <random>

TEST(Chip16RandomMemory, MillionsOfInstructionsStayInsideTheMachine) {
    // Half the images have opcodes from 0x00-0xC5 only (mostly known ones), which reach
    // far more code than random bytes (mostly unknown opcodes) do.
    setFramePacingEnabled(false);
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    chip16.display = createDisplayDx16(); // the first image shows its frames
    std::mt19937 random(0xC16);
    for (int image = 0; image < 16; ++image) {
        for (std::size_t a = 0; a < chip16MemorySize; ++a) {
            chip16.memory[a] = static_cast<std::uint8_t>(
                image % 2 == 0 && a % 4 == 0 ? random() % 0xC6 : random());
        }
        chip16.startAddress = static_cast<std::uint16_t>(random()); // odd ones too
        resetChip16(chip16);
        for (auto& r : chip16.R) {
            r = static_cast<std::uint16_t>(random());
        }
        chip16.sp = static_cast<std::uint16_t>(random());
        for (int batch = 0; batch < 500; ++batch) {
            runChip16Batch(chip16);
        }
        EXPECT_TRUE(std::all_of(chip16.screen.begin(), chip16.screen.end(),
                                [](std::uint8_t p) { return p < 16; }));
        EXPECT_LE(chip16.carry | chip16.zero | chip16.overflow | chip16.negative, 1);
        chip16.display.reset();
    }
    EXPECT_GT(sink.framesShown(), 0u);
    headless::setMainSurface(nullptr);
    setFramePacingEnabled(true);
}
