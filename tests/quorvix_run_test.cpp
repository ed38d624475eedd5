// quorvix-run as scripts use it: the real executable, its output and exit status.

#include "chip8/chip8_machine.h"
#include "tests/chip8_test_machine.h"
#include "tests/support/temp_file.h"
#include "tools/program_builders/chip8_program.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"
#include "tools/quorvix_run/rom_kind.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace {
using namespace chip8reg;

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun runTool(const std::string& arguments) {
    const std::string command = std::string(QUORVIX_RUN_EXECUTABLE) + " " + arguments + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer;
    while (const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        run.output.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The screen text without its first line.
std::string rowsOf(const std::string& output, const std::string& header) {
    const auto start = output.find(header);
    return start == std::string::npos ? std::string{} : output.substr(start + header.size());
}

std::string glyphRows(std::initializer_list<const char*> glyph, std::uint32_t columns,
                      std::uint32_t rows) {
    std::string text;
    std::uint32_t y = 0;
    for (const char* row : glyph) {
        text += row + std::string(columns - 4, '.') + '\n';
        ++y;
    }
    for (; y < rows; ++y) {
        text += std::string(columns, '.') + '\n';
    }
    return text;
}

class QuorvixRunTest : public ::testing::Test {
  protected:
    TempDirectory folder;
};

// The poked byte chooses the glyph drawn; the screenshot is the frame the window would
// show, so its cells read back as the same picture.
TEST_F(QuorvixRunTest, PokeScreenTextScreenshotAndStats) {
    Chip8Program p;
    p.ldi(0x1FF).load(V0).smallGlyph(V0).drw(V1, V1, 5).jp(p.here());
    const std::string rom = folder.write("glyph.ch8", p.bytes());
    const std::string png = (folder.path() / "shot.png").string();
    const ToolRun run =
        runTool("--frames 3 --poke 0x1FF=7 --screen-text --stats --screenshot " + png + " " + rom);
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string header = "chip-8 screen: 64x32 logical pixels (low resolution)\n";
    const std::string seven = glyphRows({"####", "...#", "..#.", ".#..", ".#.."}, 64, 32);
    EXPECT_EQ(rowsOf(run.output, header).substr(0, seven.size()), seven);
    EXPECT_EQ(pictureRows(png, 64, 32), seven);
    EXPECT_NE(run.output.find("instructions: "), std::string::npos);
    EXPECT_NE(run.output.find("instructions per second: "), std::string::npos);
    EXPECT_NE(run.output.find("frames: "), std::string::npos);
}

TEST_F(QuorvixRunTest, FailuresGiveANonZeroStatus) {
    const ToolRun missing = runTool("--log " + (folder.path() / "missing.ch8").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("Error: Rom not found!"), std::string::npos);

    const std::string rom = folder.write("exit.ch8", Chip8Program().exit().bytes());
    EXPECT_NE(runTool("--press 5@9-1 " + rom).status, 0);
    EXPECT_NE(runTool("--poke 0x1000=1 " + rom).status, 0);
    EXPECT_NE(runTool("--frames").status, 0);

    // The exit instruction makes the tool restart the ROM, over and over, until done.
    EXPECT_EQ(runTool("--frames 3 " + rom).status, 0);
}

TEST(QuorvixRunArgumentsTest, KeysPokesAndMachineKinds) {
    const auto chip8A = parseKeyHold("a@1-2", MachineKind::Chip8);
    ASSERT_TRUE(chip8A);
    EXPECT_EQ(chip8A->virtualKey, Chip8Machine::keyMap[0xA]);
    EXPECT_EQ(parseKeyHold("A@1-2", MachineKind::Chip16)->virtualKey, 0x43);
    EXPECT_EQ(parseKeyHold("Up@0-5", MachineKind::Chip8)->virtualKey, 0x26);
    EXPECT_EQ(parseKeyHold("f@7-7", MachineKind::Chip16)->virtualKey, Chip8Machine::keyMap[0xF]);
    for (const char* bad : {"5@3-2", "g@1-2", "5@1", "5-1@2", "@1-2", "5@x-2"}) {
        EXPECT_FALSE(parseKeyHold(bad, MachineKind::Chip8)) << bad;
    }

    const auto poke = parsePoke("0x1FF=2");
    ASSERT_TRUE(poke);
    EXPECT_EQ(poke->address, 0x1FFu);
    EXPECT_EQ(poke->value, 2);
    EXPECT_EQ(parsePoke("511=0x10")->value, 0x10);
    for (const char* bad : {"1=256", "x=1", "1=", "=1", "12"}) {
        EXPECT_FALSE(parsePoke(bad)) << bad;
    }

    EXPECT_EQ(machineForRomPath("Games/PONG.C16"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomPath("backup.c16.old"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomPath("c16/game.ch8"), MachineKind::Chip8);
}
} // namespace
