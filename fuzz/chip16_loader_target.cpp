#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_targets.h"

#include "chip16/chip16_machine.h"
#include "chip16/rom_loader.h"
#include "chip16/run_loop.h"
#include "platform/rom_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

int fuzzChip16Loader(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    openFuzzConsole(true);
    static const auto machine = std::make_unique<Chip16Machine>();
    Chip16Machine& m = *machine;
    const std::span<const std::uint8_t> file(data, size);
    const std::string& path = writeScratchRom(file);
    // Something from the previous input that the load must clear.
    m.memory.fill(0xA5);
    m.startAddress = 0x1234;

    const auto read = readRomImage(path);
    FUZZ_CHECK(read.has_value());
    loadChip16Rom(m, *read);
    const std::optional<Chip16Header> header = parseChip16Header(file);
    const bool hasMagic = size >= chip16HeaderSize && std::memcmp(data, "CH16", 4) == 0;
    FUZZ_CHECK(header.has_value() == hasMagic);
    // A header comes off and names the start address; a raw image starts at 0.
    const std::span<const std::uint8_t> image = header ? file.subspan(chip16HeaderSize) : file;
    FUZZ_CHECK(m.startAddress == (header ? header->startAddress : 0));
    const std::size_t loaded = std::min<std::size_t>(image.size(), chip16MemorySize);
    FUZZ_CHECK(std::equal(image.begin(), image.begin() + loaded, m.memory.begin()));
    FUZZ_CHECK(std::all_of(m.memory.begin() + loaded, m.memory.end(),
                           [](std::uint8_t b) { return b == 0; }));

    resetChip16(m);
    m.random = fuzzRandom();
    m.framePacing = false;
    FUZZ_CHECK(m.pc == m.startAddress);
    runChip16Batch(m);
    closeFuzzConsole();
    return 0;
}
