#include "chip16/rom_loader.h"

#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

namespace {
// Loads the bytes as a file, after memory was scribbled over, and tells whether memory
// then holds exactly `image` from address 0 and zero elsewhere.
class Chip16RomLoader : public ::testing::Test {
  protected:
    bool loads(const std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& image) {
        return loads(folder.write("rom.c16", file)) && memoryHolds(image);
    }
    bool loads(const std::string& path) {
        m.memory.fill(0xAA);
        m.startAddress = 0x4444;
        const auto file = readRomImage(path);
        if (file) {
            loadChip16Rom(m, *file);
        }
        return file.has_value();
    }
    bool memoryHolds(const std::vector<std::uint8_t>& image) const {
        return std::equal(image.begin(), image.end(), m.memory.begin()) &&
               std::count(m.memory.begin() + image.size(), m.memory.end(), 0) ==
                   long(chip16MemorySize - image.size());
    }
    std::unique_ptr<Chip16Machine> machine = std::make_unique<Chip16Machine>();
    Chip16Machine& m = *machine;
    TempDirectory folder;
    CapturedConsole console;
};

std::vector<std::uint8_t> sampleImage() {
    Chip16Program program;
    program.ldi(1, 0x1234).jmp(0x0040).at(0x0040).vblnk().at(0x0100).data({0xDE, 0xAD});
    return program.image();
}
} // namespace

TEST_F(Chip16RomLoader, RawAndHeaderedFilesOfOneImageGiveTheSameMemory) {
    const auto image = sampleImage();
    EXPECT_TRUE(loads(image, image));
    EXPECT_EQ(m.startAddress, 0);
    EXPECT_TRUE(loads(withChip16Header(image, 0x0040), image));
    EXPECT_EQ(m.startAddress, 0x0040);
    EXPECT_EQ(console.take(), "") << "a header that matches its image is not reported";
    const std::vector<std::uint8_t> shortMagic = {'C', 'H', '1', '6', 0, 0x11, 1, 0};
    EXPECT_TRUE(loads(shortMagic, shortMagic)) << "shorter than a header: a raw image";
    EXPECT_EQ(m.startAddress, 0);
    EXPECT_TRUE(loads({}, {}));
}

TEST_F(Chip16RomLoader, HeaderMismatchesAreReportedAndTheImageStillLoads) {
    const auto image = sampleImage();
    auto badCrc = withChip16Header(image);
    badCrc[12] ^= 0xFF;
    EXPECT_TRUE(loads(badCrc, image));
    std::string text = console.take();
    EXPECT_TRUE(text.find("CRC-32") != text.npos && text.find("bytes") == text.npos) << text;
    auto badSize = withChip16Header(image);
    ++badSize[6];
    EXPECT_TRUE(loads(badSize, image));
    text = console.take();
    EXPECT_TRUE(text.find("bytes") != text.npos && text.find("CRC") == text.npos) << text;
}

TEST_F(Chip16RomLoader, ImagesAreCutOffAt64KiB) {
    std::vector<std::uint8_t> file(70'000);
    for (std::size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    const std::vector<std::uint8_t> first64k(file.begin(), file.begin() + chip16MemorySize);
    EXPECT_TRUE(loads(file, first64k));
    EXPECT_TRUE(loads(withChip16Header(first64k), first64k));
    EXPECT_EQ(console.take(), "") << "a raw file is cut off silently; 64 KiB + header fits";
    EXPECT_TRUE(loads(withChip16Header(file), first64k));
    EXPECT_NE(console.take().find("larger than 64 KiB"), std::string::npos);
}
