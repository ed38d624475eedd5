#include "app/chip8_start_stop.h"
#include "app/emulator_state.h"
#include "app/machine_choices.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/screen_cells.h"
#include "tools/quorvix_run/runner_machine.h"

namespace {
class Chip8Runner final : public RunnerMachine {
  public:
    // The memory of the variant the run is about to start.
    std::uint32_t memorySize() const override {
        return chip8MemoryBytes(chip8RulesFor(chip8VariantChosen.load()));
    }

    bool start(const std::string& path, const std::vector<Poke>& pokes) override {
        stopChip8();
        applyMachineChoices(MachineKind::Chip8);
        if (!loadFreshChip8(path)) {
            return false;
        }
        for (const Poke& poke : pokes) {
            chip8.memory[poke.address & chip8.rules.addressMask] = poke.value;
        }
        startChip8Workers();
        return true;
    }

    void stop() override { stopChip8(); }

    std::uint64_t instructionsExecuted() const override { return chip8InstructionsExecuted(); }

    std::string screenText() const override { return chip8ScreenText(chip8); }
};
} // namespace

std::string chip8ScreenText(const Chip8Machine& machine) {
    const bool high = machine.hiRes != 0;
    const std::uint32_t scale = high ? 1 : 2;
    const std::uint32_t columns = chip8ScreenWidth / scale;
    const std::uint32_t rows = chip8ScreenHeight / scale;
    std::string text = high ? "chip-8 screen: 128x64 buffer pixels (high resolution)"
                            : "chip-8 screen: 64x32 logical pixels (low resolution)";
    text += machine.rules.xoChipInstructions ? ", # plane 1, + plane 2, @ both\n" : "\n";
    static constexpr char looks[] = {'.', '#', '+', '@'};
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::size_t index = std::size_t{y * scale} * chip8ScreenWidth + x * scale;
            text += looks[readScreenCell(machine, index) & 3u];
        }
        text += '\n';
    }
    return text;
}

std::unique_ptr<RunnerMachine> makeChip8Runner() {
    return std::make_unique<Chip8Runner>();
}

std::unique_ptr<RunnerMachine> makeRunner(MachineKind kind) {
    return kind == MachineKind::Chip16 ? makeChip16Runner() : makeChip8Runner();
}
