#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "app/save_state.h"

#include <zlib.h>

#include <vector>

namespace {
constexpr std::size_t headerSize = 35;

// A good file of each kind: the start of every machine, the CHIP-8 one by the machine's
// own rules and by the XO-CHIP ones (whose memory is 64 KiB).
const std::vector<std::uint8_t>& referenceFile(std::uint8_t kind, bool xoChip) {
    static const auto files = [] {
        std::vector<std::vector<std::uint8_t>> made;
        for (const Chip8Rules& rules : {quorvixRules, chip8RulesFor(Chip8Variant::XoChip)}) {
            Chip8State chip8;
            chip8.rules = rules;
            loadChip8Rom(chip8, {});
            resetChip8Machine(chip8);
            made.push_back(encodeSaveState(RomDigest{}, chip8));
        }
        Chip16State chip16;
        resetChip16(chip16);
        made.push_back(encodeSaveState(RomDigest{}, chip16));
        return made;
    }();
    return kind == 1 ? files[2] : files[xoChip ? 1 : 0];
}

void putNumber(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The file the control byte makes of the rest of the input.
std::vector<std::uint8_t> fileOf(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t control = size > 0 ? data[0] : 0;
    std::vector<std::uint8_t> file(data + (size > 0 ? 1 : 0), data + size);
    if ((control & 2) != 0) {
        const auto& reference = referenceFile(file.size() > 10 ? file[10] : 0, (control & 8) != 0);
        if (file.size() < reference.size()) {
            file.insert(file.end(), reference.begin() + static_cast<std::ptrdiff_t>(file.size()),
                        reference.end());
        }
    }
    if ((control & 4) != 0 && file.size() >= headerSize + 4) {
        putNumber(file, 31, static_cast<std::uint32_t>(file.size() - headerSize - 4));
    }
    if ((control & 1) != 0 && file.size() >= 4) {
        const std::size_t checked = file.size() - 4;
        putNumber(file, checked, static_cast<std::uint32_t>(crc32_z(0, file.data(), checked)));
    }
    return file;
}

// Runs a restored state for a few hundred instructions: whatever the reader lets
// through must be a state the machine can run.
template <typename Runtime> void runRestored(Runtime& runtime, const std::any& state) {
    FUZZ_CHECK(runtime.restoreState(state));
    for (int i = 0; i < 300; ++i) {
        runtime.stepInstruction();
    }
}
} // namespace

int fuzzSaveStateReader(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    openFuzzConsole(false);
    const std::vector<std::uint8_t> file = fileOf(data, size);
    const StateReading reading = decodeSaveState(file);
    if (!reading.saved) {
        FUZZ_CHECK(!reading.reason.empty());
        closeFuzzConsole();
        return 0;
    }
    // A state read well is written back to the very same bytes.
    FUZZ_CHECK(encodeSaveState(reading.saved->rom, reading.saved->state) == file);
    FUZZ_CHECK(checkStateFits(reading, reading.saved->kind, reading.saved->rom).saved);
    FUZZ_CHECK(!checkStateFits(reading, reading.saved->kind, RomDigest{1}).saved ||
               reading.saved->rom == RomDigest{1});
    if (reading.saved->kind == MachineKind::Chip8) {
        static Chip8Runtime chip8(quorvixRules);
        runRestored(chip8, reading.saved->state);
    } else {
        static Chip16Runtime chip16(false);
        runRestored(chip16, reading.saved->state);
    }
    closeFuzzConsole();
    return 0;
}
