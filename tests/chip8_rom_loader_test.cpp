#include "chip8/chip8_machine.h"

#include "platform/console_log.h"
#include "platform/headless/headless_host.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::vector<std::uint8_t> countingBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return bytes;
}

// The 4 x 5 glyphs 0-F from address 0, then the 8 x 10 glyphs 0-F from 80.
constexpr std::uint8_t fonts[240] = {
    0xF0, 0x90, 0x90, 0x90, 0xF0, 0x20, 0x60, 0x20, 0x20, 0x70, 0xF0, 0x10, 0xF0, 0x80,
    0xF0, 0xF0, 0x10, 0xF0, 0x10, 0xF0, 0x90, 0x90, 0xF0, 0x10, 0x10, 0xF0, 0x80, 0xF0,
    0x10, 0xF0, 0xF0, 0x80, 0xF0, 0x90, 0xF0, 0xF0, 0x10, 0x20, 0x40, 0x40, 0xF0, 0x90,
    0xF0, 0x90, 0xF0, 0xF0, 0x90, 0xF0, 0x10, 0xF0, 0xF0, 0x90, 0xF0, 0x90, 0x90, 0xE0,
    0x90, 0xE0, 0x90, 0xE0, 0xF0, 0x80, 0x80, 0x80, 0xF0, 0xE0, 0x90, 0x90, 0x90, 0xE0,
    0xF0, 0x80, 0xF0, 0x80, 0xF0, 0xF0, 0x80, 0xF0, 0x80, 0x80, //
    0xFF, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF, // 0
    0x18, 0xF8, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0xFF, 0xFF, // 1
    0x3C, 0xC3, 0x03, 0x03, 0x06, 0x0C, 0x18, 0x30, 0x7F, 0xFF, // 2
    0xFC, 0x03, 0x03, 0x03, 0xFF, 0x03, 0x03, 0x03, 0xFF, 0xFC, // 3
    0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0x03, 0x03, 0x03, 0x03, 0x03, // 4
    0xFF, 0xC0, 0xC0, 0xC0, 0xFF, 0x03, 0x03, 0x03, 0x03, 0xFF, // 5
    0xFF, 0xC0, 0xC0, 0xC0, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, // 6
    0xFF, 0x03, 0x06, 0x0C, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, // 7
    0xFF, 0xC3, 0xC3, 0xC3, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, // 8
    0xFF, 0xC3, 0xC3, 0xC3, 0xFF, 0x03, 0x03, 0x03, 0x03, 0x03, // 9
    0x18, 0x66, 0xC3, 0xC3, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, // A
    0xFC, 0xC3, 0xC3, 0xC3, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFC, // B
    0xFF, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xFF, // C
    0xFC, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xFC, // D
    0xFF, 0xC0, 0xC0, 0xC0, 0xFF, 0xC0, 0xC0, 0xC0, 0xC0, 0xFF, // E
    0xFF, 0xC0, 0xC0, 0xC0, 0xFF, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, // F
};

bool holdsFontsThenZeros(std::size_t zerosFrom) {
    return std::equal(std::begin(fonts), std::end(fonts), chip8.memory.begin()) &&
           std::all_of(chip8.memory.begin() + static_cast<std::ptrdiff_t>(zerosFrom),
                       chip8.memory.end(), [](std::uint8_t b) { return b == 0; });
}

class Chip8RomLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::captureConsole(true);
        headless::takeConsoleText();
        verboseConsole = 1;
        chip8.memory.fill(0xEE); // leftovers of an earlier ROM
    }
    void TearDown() override {
        verboseConsole = 0;
        headless::captureConsole(false);
    }
    TempDirectory folder;
};
} // namespace

TEST_F(Chip8RomLoaderTest, FontsSitBelowTheProgramAndTheRestIsZero) {
    const auto rom = countingBytes(100);
    ASSERT_TRUE(loadChip8Rom(chip8, 512, folder.write("game.ch8", rom).c_str()));
    EXPECT_TRUE(std::equal(rom.begin(), rom.end(), chip8.memory.begin() + 512));
    EXPECT_TRUE(std::all_of(chip8.memory.begin() + 240, chip8.memory.begin() + 512,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(holdsFontsThenZeros(612));
    EXPECT_EQ(headless::takeConsoleText(), "");
}

TEST_F(Chip8RomLoaderTest, ALongFileIsCutAtTheEndOfMemory) {
    const auto rom = countingBytes(5000);
    ASSERT_TRUE(loadChip8Rom(chip8, 512, folder.write("long.ch8", rom).c_str()));
    EXPECT_TRUE(std::equal(rom.begin(), rom.begin() + 3584, chip8.memory.begin() + 512));
    EXPECT_EQ(headless::takeConsoleText(), "");
}

TEST_F(Chip8RomLoaderTest, AnEmptyFileLoads) {
    EXPECT_TRUE(loadChip8Rom(chip8, 512, folder.write("empty.ch8", {}).c_str()));
    EXPECT_TRUE(holdsFontsThenZeros(240));
}

TEST_F(Chip8RomLoaderTest, WhatIsNotAReadableFileIsReportedAndLeavesFontsAndZeros) {
    const std::string pipe = (folder.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string unreadable = folder.write("secret.ch8", countingBytes(10));
    ::chmod(unreadable.c_str(), 0);
    const bool rootReadsAnything = ::access(unreadable.c_str(), R_OK) == 0;

    std::vector<std::string> paths = {(folder.path() / "missing.ch8").string(),
                                      folder.path().string(), pipe, "", "/dev/zero"};
    if (!rootReadsAnything) {
        paths.push_back(unreadable);
    }
    for (const auto& path : paths) {
        chip8.memory.fill(0xEE);
        EXPECT_FALSE(loadChip8Rom(chip8, 512, path.c_str())) << path;
        EXPECT_TRUE(holdsFontsThenZeros(240)) << path;
        EXPECT_EQ(headless::takeConsoleText(), "Error: Rom not found!\n") << path;
    }
}
