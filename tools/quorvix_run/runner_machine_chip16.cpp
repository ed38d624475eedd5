#include "app/chip16_start_stop.h"
#include "chip16/chip16_machine.h"
#include "chip16/run_loop.h"
#include "tools/quorvix_run/runner_machine.h"

#include <cstdio>

namespace {
class Chip16Runner final : public RunnerMachine {
  public:
    std::uint32_t memorySize() const override { return chip16MemorySize; }

    bool start(const std::string& path, const std::vector<Poke>& pokes) override {
        if (!loadFreshChip16(path)) {
            return false;
        }
        for (const Poke& poke : pokes) {
            chip16.memory[poke.address % chip16MemorySize] = poke.value;
        }
        startChip16Workers();
        return true;
    }

    void stop() override { stopChip16(); }

    std::uint64_t instructionsExecuted() const override {
        return chip16InstructionsExecuted(chip16);
    }

    std::string screenText() const override { return chip16ScreenText(chip16); }

    std::string statsText() const override { return chip16UnknownOpcodeText(chip16); }
};
} // namespace

std::string chip16ScreenText(const Chip16Machine& machine) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "chip-16 screen: 320x240 colour indices (hex), background ";
    text += digits[machine.backgroundColour & 0xF];
    text += '\n';
    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        for (std::uint32_t x = 0; x < chip16ScreenWidth; ++x) {
            text += digits[machine.screen[y * chip16ScreenWidth + x] & 0xF];
        }
        text += '\n';
    }
    return text;
}

std::string chip16UnknownOpcodeText(const Chip16Machine& machine) {
    std::string text;
    char line[64];
    for (std::size_t opcode = 0; opcode < machine.unknownOpcodeCounts.size(); ++opcode) {
        if (machine.unknownOpcodeCounts[opcode] != 0) {
            std::snprintf(line, sizeof line, "unknown opcode 0x%02zx: %llu times\n", opcode,
                          static_cast<unsigned long long>(machine.unknownOpcodeCounts[opcode]));
            text += line;
        }
    }
    return text.empty() ? "unknown opcodes: none\n" : text;
}

std::unique_ptr<RunnerMachine> makeChip16Runner() {
    return std::make_unique<Chip16Runner>();
}
