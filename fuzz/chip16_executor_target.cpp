#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"

#include "chip16/chip16_machine.h"
#include "chip16/run_loop.h"
#include "display/chip16_display.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {
constexpr int batches = 4;

// The controller bit each bit of an input's button byte holds: Up, Down, Left, Right,
// A, B, Select, Start. The order is the corpus's, so kept inputs press what they did.
constexpr std::array<unsigned, 8> buttonOfBit = {0, 1, 2, 3, 6, 7, 4, 5};

// One machine for every input, and its display once an input asks for one: making a
// display costs more than a whole input's instructions.
struct FuzzChip16 {
    Chip16Machine machine;
    std::unique_ptr<MachineDisplay> display;
};

FuzzChip16& fuzzChip16() {
    static const auto chip16 = std::make_unique<FuzzChip16>();
    return *chip16;
}

// What no instruction may break: colour indices, sprite size and flag values in range.
void checkMachine(const Chip16Machine& m) {
    FUZZ_CHECK(std::all_of(m.screen.begin(), m.screen.end(),
                           [](std::uint8_t pixel) { return pixel <= 15; }));
    FUZZ_CHECK(m.backgroundColour <= 15);
    FUZZ_CHECK(m.spriteWidth >= 0 && m.spriteWidth <= 255);
    FUZZ_CHECK(m.spriteHeight >= 0 && m.spriteHeight <= 255);
    FUZZ_CHECK(m.carry <= 1 && m.zero <= 1 && m.overflow <= 1 && m.negative <= 1);
    FUZZ_CHECK(m.flipHorizontal <= 1 && m.flipVertical <= 1);
    FUZZ_CHECK(m.vblank == 0);
    FUZZ_CHECK(m.cycles >= 0.0 && m.cycles <= chip16CyclesPerFrame + 1.0);
}
} // namespace

int fuzzChip16Executor(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    FuzzChip16& chip16 = fuzzChip16();
    Chip16Machine& m = chip16.machine;
    FuzzInput input(data, size);
    const std::uint8_t firstButtons = input.byte();
    const std::uint8_t laterButtons = input.byte();
    const std::uint8_t options = input.byte();
    openFuzzConsole((options & 1u) != 0);
    const double framePhase = input.byte() / 255.0 * chip16CyclesPerFrame;
    m.startAddress = input.word();
    const std::span<const std::uint8_t> image = input.rest();

    // With a display, frame boundaries convert and present the screen as the running
    // machine does; that costs more than the instructions, so only some inputs have one.
    if ((options & 2u) == 0) {
        m.display = nullptr;
        chip16.display.reset();
    } else {
        if (!chip16.display) {
            chip16.display = createChip16Display(m);
        }
        m.display = chip16.display.get();
    }
    m.memory.fill(0);
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), chip16MemorySize),
                m.memory.begin());
    resetChip16(m);
    m.random = fuzzRandom();
    m.framePacing = false;
    // Some inputs run with the later instructions (MOD, REM, NOT, NEG, PAL) as well.
    m.extendedInstructions = (options & 4u) != 0;
    m.cycles = framePhase;

    const std::uint64_t framesShownBefore = fuzzFrameSink().framesShown();
    for (int batch = 0; batch < batches; ++batch) {
        holdKeys(m.keys, buttonOfBit, batch < batches / 2 ? firstButtons : laterButtons);
        const std::uint64_t framesBefore = m.framesCompleted;
        runChip16Batch(m);
        checkMachine(m);
        // A batch of 1000 instructions never spans more than one frame boundary.
        FUZZ_CHECK(m.framesCompleted - framesBefore <= 1);
    }
    FUZZ_CHECK(fuzzFrameSink().framesShown() - framesShownBefore ==
               (m.display != nullptr ? m.framesCompleted : 0));
    closeFuzzConsole();
    return 0;
}
