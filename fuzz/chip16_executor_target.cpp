#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"

#include "app/chip16_start_stop.h"
#include "chip16/chip16_machine.h"
#include "chip16/run_loop.h"
#include "display/display_dx16.h"

#include <algorithm>

namespace {
constexpr int batches = 4;

// What no instruction may break: colour indices, sprite size and flag values in range.
void checkMachine() {
    FUZZ_CHECK(std::all_of(chip16.screen.begin(), chip16.screen.end(),
                           [](std::uint8_t pixel) { return pixel <= 15; }));
    FUZZ_CHECK(chip16.backgroundColour <= 15);
    FUZZ_CHECK(chip16.spriteWidth >= 0 && chip16.spriteWidth <= 255);
    FUZZ_CHECK(chip16.spriteHeight >= 0 && chip16.spriteHeight <= 255);
    FUZZ_CHECK(chip16.carry <= 1 && chip16.zero <= 1 && chip16.overflow <= 1 &&
               chip16.negative <= 1);
    FUZZ_CHECK(chip16.flipHorizontal <= 1 && chip16.flipVertical <= 1);
    FUZZ_CHECK(chip16.vblank == 0);
    FUZZ_CHECK(chip16.cycles >= 0.0 && chip16.cycles <= chip16CyclesPerFrame + 1.0);
}
} // namespace

int fuzzChip16Executor(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    FuzzInput input(data, size);
    const std::uint8_t firstButtons = input.byte();
    const std::uint8_t laterButtons = input.byte();
    const std::uint8_t options = input.byte();
    openFuzzConsole((options & 1u) != 0);
    const double framePhase = input.byte() / 255.0 * chip16CyclesPerFrame;
    chip16.startAddress = input.word();
    const std::span<const std::uint8_t> image = input.rest();

    // With a display, frame boundaries convert and present the screen as the running
    // machine does; that costs more than the instructions, so only some inputs have one.
    if ((options & 2u) == 0) {
        chip16.display.reset();
    } else if (!chip16.display) {
        chip16.display = createDisplayDx16();
    }
    chip16.memory.fill(0);
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), chip16MemorySize),
                chip16.memory.begin());
    resetChip16(chip16);
    // Some inputs run with the later instructions (MOD, REM, NOT, NEG, PAL) as well.
    chip16.extendedInstructions = (options & 4u) != 0;
    chip16.cycles = framePhase;

    const std::uint64_t framesShownBefore = fuzzFrameSink().framesShown();
    for (int batch = 0; batch < batches; ++batch) {
        holdKeys(Chip16Machine::keyMap.data(), 16, 8,
                 batch < batches / 2 ? firstButtons : laterButtons);
        const std::uint64_t framesBefore = chip16.framesCompleted;
        runChip16Batch(chip16);
        checkMachine();
        // A batch of 1000 instructions never spans more than one frame boundary.
        FUZZ_CHECK(chip16.framesCompleted - framesBefore <= 1);
    }
    FUZZ_CHECK(fuzzFrameSink().framesShown() - framesShownBefore ==
               (chip16.display ? chip16.framesCompleted : 0));
    closeFuzzConsole();
    return 0;
}
