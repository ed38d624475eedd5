#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "app/chip16_start_stop.h"
#include "chip16/chip16_machine.h"
#include "chip16/rom_loader.h"
#include "chip16/run_loop.h"

#include <algorithm>
#include <cstring>

int fuzzChip16Loader(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    openFuzzConsole(true);
    const std::span<const std::uint8_t> file(data, size);
    const std::string& path = writeScratchRom(file);
    // Something from the previous input that the load must clear.
    chip16.memory.fill(0xA5);
    chip16.startAddress = 0x1234;
    chip16.display.reset();

    FUZZ_CHECK(loadChip16Rom(path.c_str(), 0));
    const std::optional<Chip16Header> header = parseChip16Header(file);
    const bool hasMagic = size >= chip16HeaderSize && std::memcmp(data, "CH16", 4) == 0;
    FUZZ_CHECK(header.has_value() == hasMagic);
    // A header comes off and names the start address; a raw image starts at 0.
    const std::span<const std::uint8_t> image = header ? file.subspan(chip16HeaderSize) : file;
    FUZZ_CHECK(chip16.startAddress == (header ? header->startAddress : 0));
    const std::size_t loaded = std::min<std::size_t>(image.size(), chip16MemorySize);
    FUZZ_CHECK(std::equal(image.begin(), image.begin() + loaded, chip16.memory.begin()));
    FUZZ_CHECK(std::all_of(chip16.memory.begin() + loaded, chip16.memory.end(),
                           [](std::uint8_t b) { return b == 0; }));

    resetChip16(chip16);
    FUZZ_CHECK(chip16.pc == chip16.startAddress);
    runChip16Batch(chip16);
    closeFuzzConsole();
    return 0;
}
