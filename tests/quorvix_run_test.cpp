// quorvix-run as scripts use it: the real executable, its output and exit status.

#include "tests/chip8_test_machine.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"
#include "tools/quorvix_run/rom_kind.h"
#include "tools/quorvix_run/run_rom.h"

#include <cstdio>
#include <sys/wait.h>

namespace {
using namespace chip8reg;

// The exit status (-1 when the tool did not exit normally) and everything it printed.
std::pair<int, std::string> runTool(const std::string& arguments) {
    const std::string command = std::string(QUORVIX_RUN_EXECUTABLE) + " " + arguments + " 2>&1";
    std::pair<int, std::string> run{-1, ""};
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) {
            run.second.append(buffer, count);
        }
        const int status = pclose(pipe);
        run.first = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

using QuorvixRunTest = Chip8MachineTest;

// The poked byte chooses the glyph drawn; the tool prints the screen the same program
// leaves on the test thread, and its screenshot's cells read back as that picture. The
// counts are refresh periods of the clock, so the run is long enough for a slow start.
TEST_F(QuorvixRunTest, PokeScreenTextScreenshotAndStats) {
    Chip8Program p;
    p.ldi(0x1FF).load(V0).smallGlyph(V0).drw(V1, V1, 5).jp(p.here());
    const std::string rom = folder.write("glyph.ch8", p.bytes());
    const std::string png = (folder.path() / "shot.png").string();
    const auto [status, output] =
        runTool("--frames 60 --poke 0x1FF=7 --screen-text --stats --screenshot " + png + " " + rom);
    EXPECT_EQ(status, 0) << output;
    load(p.bytes());
    chip8.memory[0x1FF] = 7;
    runChip8(5);
    const std::string seven = chip8ScreenRows();
    EXPECT_EQ(cut(seven, {0, 0, 5, 5}), "####.\n...#.\n..#..\n.#...\n.#...\n");
    EXPECT_NE(output.find("chip-8 screen: 64x32 logical pixels (low resolution)\n" + seven),
              std::string::npos);
    EXPECT_EQ(pictureRows(png, 64, 32), seven);
    for (const char* stat : {"instructions: ", "instructions per second: ", "frames: "}) {
        EXPECT_NE(output.find(stat), std::string::npos) << stat;
    }
}

TEST_F(QuorvixRunTest, FailuresGiveANonZeroStatus) {
    const auto [status, output] = runTool("--log " + (folder.path() / "missing.ch8").string());
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Error: Rom not found!"), std::string::npos);

    const std::string rom = folder.write("exit.ch8", Chip8Program().exit().bytes());
    EXPECT_NE(runTool("--press 5@9-1 " + rom).first, 0);
    EXPECT_NE(runTool("--poke 0x1000=1 " + rom).first, 0);
    EXPECT_NE(runTool("--frames").first, 0);
    EXPECT_NE(runTool("--flicker-filter maybe " + rom).first, 0);

    // The exit instruction makes the tool restart the ROM, over and over, until done.
    EXPECT_EQ(runTool("--frames 3 " + rom).first, 0);
}

// A20A D005 D005 1206, sprite F0 F0 F0 F0 F0: a block drawn and erased at once, then
// a loop. With the flicker filter on, no frame is shown after the erase.
const std::vector<std::uint8_t> drawnAndErased = {0xA2, 0x0A, 0xD0, 0x05, 0xD0, 0x05, 0x12, 0x06,
                                                  0x00, 0x00, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0};

TEST_F(QuorvixRunTest, FramesAndPressesCountRefreshPeriodsNotPresentedFrames) {
    const std::string rom = folder.write("erased.ch8", drawnAndErased);
    EXPECT_EQ(runTool("--frames 10 " + rom).first, 0);

    // The same start, then F10A F129 D005 120C: wait for a key and show its digit.
    const std::string keyed =
        folder.write("keyed.ch8", {0xA2, 0x0E, 0xD0, 0x05, 0xD0, 0x05, 0xF1, 0x0A, 0xF1, 0x29, 0xD0,
                                   0x05, 0x12, 0x0C, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0});
    const auto [status, output] =
        runTool("--frames 100 --seconds 30 --press 5@3-100 --screen-text " + keyed);
    EXPECT_EQ(status, 0);
    const std::string header = "(low resolution)\n";
    const std::size_t rows = output.find(header);
    ASSERT_NE(rows, std::string::npos) << output;
    EXPECT_EQ(cut(output.substr(rows + header.size()), {0, 0, 5, 5}),
              "####.\n#....\n####.\n...#.\n####.\n");
}

TEST_F(QuorvixRunTest, TheFlickerFilterCanBeTurnedOffAndNoFrameGivesNoScreenshot) {
    const std::string rom = folder.write("erased.ch8", drawnAndErased);
    const std::string png = (folder.path() / "erased.png").string();
    EXPECT_EQ(runTool("--flicker-filter off --frames 60 --screenshot " + png + " " + rom).first, 0);
    std::string dark;
    for (int row = 0; row < 32; ++row) {
        dark += std::string(64, '.') + '\n';
    }
    EXPECT_EQ(pictureRows(png, 64, 32), dark); // the last frame, after the erase

    // A machine that never draws after an erase left its flag set: the filter holds
    // back every frame, so there is nothing to write.
    chip8.eraseFlag = 1;
    RunOptions options;
    options.romPath = folder.write("spin.ch8", {0x12, 0x00});
    options.frames = 3;
    options.screenshotPath = (folder.path() / "none.png").string();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runRom(options), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no frame was presented"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(options.screenshotPath));
}

TEST(QuorvixRunArgumentsTest, KeysPokesAndMachineKinds) {
    const std::tuple<const char*, MachineKind, int> keys[] = {
        {"a@1-2", MachineKind::Chip8, Chip8Machine::keyMap[0xA]},
        {"A@1-2", MachineKind::Chip16, 0x43},
        {"Up@0-5", MachineKind::Chip8, 0x26},
        {"f@7-7", MachineKind::Chip16, Chip8Machine::keyMap[0xF]}};
    for (const auto& [text, machine, virtualKey] : keys) {
        const auto hold = parseKeyHold(text, machine);
        EXPECT_EQ(hold ? hold->virtualKey : -1, virtualKey) << text;
    }
    for (const char* bad : {"5@3-2", "g@1-2", "5@1", "5-1@2", "@1-2", "5@x-2"}) {
        EXPECT_FALSE(parseKeyHold(bad, MachineKind::Chip8)) << bad;
    }

    const auto poke = parsePoke("0x1FF=2");
    EXPECT_EQ(poke ? std::pair(poke->address, poke->value) : std::pair(0u, std::uint8_t{0}),
              std::pair(0x1FFu, std::uint8_t{2}));
    EXPECT_EQ(parsePoke("511=0x10")->value, 0x10);
    for (const char* bad : {"1=256", "x=1", "1=", "=1", "12"}) {
        EXPECT_FALSE(parsePoke(bad)) << bad;
    }

    EXPECT_EQ(machineForRomPath("Games/PONG.C16"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomPath("backup.c16.old"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomPath("c16/game.ch8"), MachineKind::Chip8);
}
} // namespace
