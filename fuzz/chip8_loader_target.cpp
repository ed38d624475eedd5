#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "platform/rom_file.h"

#include <algorithm>
#include <memory>

int fuzzChip8Loader(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    openFuzzConsole(true);
    static const auto machine = std::make_unique<Chip8Machine>();
    Chip8Machine& m = *machine;
    const std::string& path = writeScratchRom({data, size});
    // Something from the previous input that the load must clear.
    m.memory.fill(0xA5);

    const auto rom = readRomImage(path);
    FUZZ_CHECK(rom.has_value());
    loadChip8Rom(m, *rom);
    const auto memory = m.memory.begin();
    FUZZ_CHECK(std::equal(smallFont.begin(), smallFont.end(), memory));
    FUZZ_CHECK(std::equal(bigFont.begin(), bigFont.end(), memory + chip8BigFontStart));
    FUZZ_CHECK(std::all_of(memory + chip8BigFontStart + bigFont.size(), memory + chip8ProgramStart,
                           [](std::uint8_t b) { return b == 0; }));
    // The file fills memory from 512 on; whatever does not fit is not read.
    const std::size_t loaded = std::min<std::size_t>(size, chip8MemorySize - chip8ProgramStart);
    FUZZ_CHECK(std::equal(data, data + loaded, memory + chip8ProgramStart));
    FUZZ_CHECK(std::all_of(memory + chip8ProgramStart + loaded, m.memory.end(),
                           [](std::uint8_t b) { return b == 0; }));

    resetChip8Machine(m);
    m.random = fuzzRandom();
    runChip8Batch(m);
    clearChip8ResetRequest(m);
    closeFuzzConsole();
    return 0;
}
