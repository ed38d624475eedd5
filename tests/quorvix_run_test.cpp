// quorvix-run as scripts use it: the real executable, its output and exit status.

#include "machine/machine_settings.h"
#include "tests/chip8_test_machine.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"

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
// leaves on the test thread, and its screenshot's cells read back as that picture.
TEST_F(QuorvixRunTest, PokeScreenTextScreenshotAndStats) {
    Chip8Program p;
    p.ldi(0x1FF).load(V0).smallGlyph(V0).drw(V1, V1, 5).jp(p.here());
    const std::string rom = folder.write("glyph.ch8", p.bytes());
    const std::string png = (folder.path() / "shot.png").string();
    const auto [status, output] =
        runTool("--frames 3 --poke 0x1FF=7 --screen-text --stats --screenshot " + png + " " + rom);
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

    // The exit instruction makes the tool restart the ROM, over and over, until done.
    EXPECT_EQ(runTool("--frames 3 " + rom).first, 0);
}

// 8011 leaves VF = 3 under the machine's rules and clears it under CHIP-8's; the program
// then draws the glyph of VF. A ROM whose name starts with '-' follows "--".
TEST_F(QuorvixRunTest, VariantChoosesTheRulesAndUnknownNamesEndWithStatusTwo) {
    Chip8Program p;
    p.ld(VF, 3).or_(V0, V1).ld(V2, VF).smallGlyph(V2).drw(V3, V3, 5).jp(p.here());
    folder.write("-logic.ch8", p.bytes());
    const std::string rom = "-logic.ch8";
    const auto workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const std::pair<const char*, const char*> runs[] = {
        {"", "####.\n...#.\n####.\n...#.\n####.\n"},
        {"--variant quorvix ", "####.\n...#.\n####.\n...#.\n####.\n"},
        {"--variant chip8 ", "####.\n#..#.\n#..#.\n#..#.\n####.\n"}};
    for (const auto& [option, glyph] : runs) {
        const auto [status, output] =
            runTool(std::string(option) + "--seconds 0.3 --screen-text -- " + rom);
        EXPECT_EQ(status, 0) << output;
        const std::string rows = output.substr(output.find('\n') + 1);
        EXPECT_EQ(cut(rows, {0, 0, 5, 5}), glyph) << option;
    }
    for (const char* bad : {"--variant bogus -- ", "--variant SCHIP -- ", "--bogus -- ", ""}) {
        const auto [status, output] = runTool(bad + rom);
        EXPECT_EQ(status, 2) << bad << output;
        EXPECT_FALSE(output.empty()) << bad;
    }
    const auto [status, help] = runTool("--help");
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("--variant"), std::string::npos) << help;
    std::filesystem::current_path(workingFolder);
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

    EXPECT_EQ(machineForRomName("Games/PONG.C16"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomName("backup.c16.old"), MachineKind::Chip16);
    EXPECT_EQ(machineForRomName("c16/game.ch8"), MachineKind::Chip8);
}
} // namespace
