#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "app/chip8_start_stop.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"

#include <algorithm>

int fuzzChip8Loader(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    openFuzzConsole(true);
    const std::string& path = writeScratchRom({data, size});
    // Something from the previous input that the load must clear.
    chip8.memory.fill(0xA5);

    FUZZ_CHECK(loadChip8Rom(chip8, chip8ProgramStart, path.c_str()));
    const auto memory = chip8.memory.begin();
    FUZZ_CHECK(std::equal(smallFont.begin(), smallFont.end(), memory));
    FUZZ_CHECK(std::equal(bigFont.begin(), bigFont.end(), memory + chip8BigFontStart));
    FUZZ_CHECK(std::all_of(memory + chip8BigFontStart + bigFont.size(), memory + chip8ProgramStart,
                           [](std::uint8_t b) { return b == 0; }));
    // The file fills memory from 512 on; whatever does not fit is not read.
    const std::size_t loaded = std::min<std::size_t>(size, chip8MemorySize - chip8ProgramStart);
    FUZZ_CHECK(std::equal(data, data + loaded, memory + chip8ProgramStart));
    FUZZ_CHECK(std::all_of(memory + chip8ProgramStart + loaded, chip8.memory.end(),
                           [](std::uint8_t b) { return b == 0; }));

    resetChip8Machine(chip8);
    runChip8Batch(chip8);
    clearChip8ResetRequest();
    closeFuzzConsole();
    return 0;
}
