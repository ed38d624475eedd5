#include "chip16/rom_loader.h"

#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
std::vector<std::uint8_t> sampleImage() {
    Chip16Program program;
    program.ldi(1, 0x1234).bgc(9).jmp(0x0040);
    program.at(0x0040).vblnk().jmp(0x0040);
    program.at(0x0100).data({0xDE, 0xAD, 0xBE, 0xEF});
    return program.image();
}

bool memoryHoldsOnly(const std::vector<std::uint8_t>& image, std::size_t at = 0) {
    for (std::size_t a = 0; a < chip16MemorySize; ++a) {
        const std::uint8_t expected = a >= at && a - at < image.size() ? image[a - at] : 0;
        if (chip16.memory[a] != expected) {
            return false;
        }
    }
    return true;
}

void scribbleOverMemory() {
    chip16.memory.fill(0xAA);
    chip16.startAddress = 0x4444;
}
} // namespace

TEST(Chip16RomLoader, RawAndHeaderedFilesOfOneImageGiveTheSameMemory) {
    TempDirectory folder;
    const auto image = sampleImage();
    CapturedConsole console;

    scribbleOverMemory();
    ASSERT_TRUE(loadChip16Rom(folder.write("raw.c16", image).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(image));
    EXPECT_EQ(chip16.startAddress, 0);

    scribbleOverMemory();
    ASSERT_TRUE(loadChip16Rom(folder.write("h.c16", withChip16Header(image, 0x0040)).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(image));
    EXPECT_EQ(chip16.startAddress, 0x0040);
    EXPECT_EQ(console.take(), "") << "a header that matches its image is not reported";
}

TEST(Chip16RomLoader, HeaderMismatchesAreReportedAndTheImageStillLoads) {
    TempDirectory folder;
    const auto image = sampleImage();
    CapturedConsole console;

    auto badCrc = withChip16Header(image);
    badCrc[12] ^= 0xFF;
    ASSERT_TRUE(loadChip16Rom(folder.write("crc.c16", badCrc).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(image));
    std::string text = console.take();
    EXPECT_NE(text.find("CRC-32"), std::string::npos) << text;
    EXPECT_EQ(text.find("bytes"), std::string::npos) << "the size is right";

    auto badSize = withChip16Header(image);
    badSize[6] = static_cast<std::uint8_t>(badSize[6] + 1);
    ASSERT_TRUE(loadChip16Rom(folder.write("size.c16", badSize).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(image));
    text = console.take();
    EXPECT_NE(text.find("bytes"), std::string::npos) << text;
    EXPECT_EQ(text.find("CRC-32"), std::string::npos) << "the checksum is right";
}

TEST(Chip16RomLoader, ImagesUpTo64KiBFitAndLongerOnesAreCutOff) {
    TempDirectory folder;
    CapturedConsole console;
    std::vector<std::uint8_t> full(chip16MemorySize);
    for (std::size_t i = 0; i < full.size(); ++i) {
        full[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    ASSERT_TRUE(loadChip16Rom(folder.write("full.c16", withChip16Header(full)).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(full));
    EXPECT_EQ(console.take(), "") << "a whole 64 KiB image with its header fits";

    std::vector<std::uint8_t> tooLong(70'000, 0x5A);
    std::copy(full.begin(), full.end(), tooLong.begin());
    ASSERT_TRUE(loadChip16Rom(folder.write("raw70000.c16", tooLong).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(full));
    EXPECT_EQ(console.take(), "") << "a raw file is cut off without a message";

    ASSERT_TRUE(loadChip16Rom(folder.write("h70000.c16", withChip16Header(tooLong)).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(full));
    EXPECT_NE(console.take().find("larger than 64 KiB"), std::string::npos);

    ASSERT_TRUE(loadChip16Rom(folder.write("offset.c16", {1, 2, 3, 4, 5}).c_str(), 0xFFFE));
    EXPECT_TRUE(memoryHoldsOnly({1, 2}, 0xFFFE)) << "loading at an offset stops at the end";
}

TEST(Chip16RomLoader, ShortAndEmptyFilesAreRawImages) {
    TempDirectory folder;
    CapturedConsole console;
    const std::vector<std::uint8_t> shortMagic = {'C', 'H', '1', '6', 0, 0x11, 1, 0, 0, 0};
    scribbleOverMemory();
    ASSERT_TRUE(loadChip16Rom(folder.write("short.c16", shortMagic).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly(shortMagic));
    EXPECT_EQ(chip16.startAddress, 0);

    scribbleOverMemory();
    ASSERT_TRUE(loadChip16Rom(folder.write("empty.c16", {}).c_str(), 0));
    EXPECT_TRUE(memoryHoldsOnly({}));
    EXPECT_EQ(console.take(), "");
}

TEST(Chip16RomLoader, UnreadablePathsLeaveMemoryZeroed) {
    TempDirectory folder;
    CapturedConsole console;
    for (const std::string& path :
         {(folder.path() / "missing.c16").string(), folder.path().string()}) {
        scribbleOverMemory();
        EXPECT_FALSE(loadChip16Rom(path.c_str(), 0)) << path;
        EXPECT_TRUE(memoryHoldsOnly({}));
        EXPECT_EQ(chip16.startAddress, 0);
        EXPECT_EQ(console.take(), "Error: Rom not found!\n");
    }
}
