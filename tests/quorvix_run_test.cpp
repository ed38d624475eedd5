// quorvix-run as scripts use it: the real executable, its output and exit status.

#include "machine/machine_settings.h"
#include "tests/chip8_test_machine.h"
#include "tests/support/golden.h"
#include "tests/support/tool_output.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"
#include "tools/quorvix_run/run_rom.h"

#include <algorithm>
#include <fstream>

namespace {
using namespace chip8reg;

// The exit status and everything the tool printed on either stream.
std::pair<int, std::string> runTool(const std::string& arguments) {
    return runCommand(std::string(QUORVIX_RUN_EXECUTABLE) + " " + arguments + " 2>&1");
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
    m.memory[0x1FF] = 7;
    run(5);
    const std::string seven = chip8ScreenRows(m);
    EXPECT_EQ(cut(seven, {0, 0, 5, 5}), "####.\n...#.\n..#..\n.#...\n.#...\n");
    EXPECT_NE(output.find("chip-8 screen: 64x32 logical pixels (low resolution)\n" + seven),
              std::string::npos);
    EXPECT_EQ(pictureRows(png, 64, 32), seven);
    for (const char* stat : {"instructions: ", "instructions per second: ", "frames: "}) {
        EXPECT_NE(output.find(stat), std::string::npos) << stat;
    }
}

// A state written during one run starts another where the first left off; a state of
// another ROM is refused with one line and status 1.
TEST_F(QuorvixRunTest, StatesCarryARunOver) {
    Chip8Program p;
    const auto loop = p.label();
    p.bind(loop).add(V0, 1).jp(loop);
    const std::string rom = folder.write("count.ch8", p.bytes());
    const std::string state = (folder.path() / "count.qvstate").string();
    const auto [saved, savedOutput] =
        runTool("--variant chip8 --speed 2 --frames 12 --log --save-state " + state + "@10 " + rom);
    EXPECT_EQ(saved, 0) << savedOutput;
    EXPECT_NE(savedOutput.find("State saved: " + state), std::string::npos) << savedOutput;

    // The second run's V0 (the file's byte 55) counts on from the first run's, not from 0.
    const std::string again = (folder.path() / "again.qvstate").string();
    const auto [loaded, loadedOutput] =
        runTool("--frames 0 --load-state " + state + " --save-state " + again + "@0 --log " + rom);
    EXPECT_EQ(loaded, 0) << loadedOutput;
    EXPECT_NE(loadedOutput.find("State loaded: " + state), std::string::npos) << loadedOutput;
    const auto counted = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        file.seekg(55);
        return file.get();
    };
    EXPECT_GE(counted(state), 5);
    EXPECT_GE(counted(again), counted(state));

    const std::string other = folder.write("other.ch8", Chip8Program().jp(0x200).bytes());
    const auto [refused, refusedOutput] = runTool("--frames 2 --load-state " + state + " " + other);
    EXPECT_EQ(refused, 1);
    EXPECT_NE(refusedOutput.find("is a state of another ROM"), std::string::npos) << refusedOutput;
    EXPECT_EQ(std::count(refusedOutput.begin(), refusedOutput.end(), '\n'), 1) << refusedOutput;
}

TEST_F(QuorvixRunTest, FailuresGiveANonZeroStatus) {
    const auto [status, output] = runTool("--log " + (folder.path() / "missing.ch8").string());
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Error: Rom not found!"), std::string::npos);

    const std::string rom = folder.write("exit.ch8", Chip8Program().exit().bytes());
    EXPECT_NE(runTool("--press 5@9-1 " + rom).first, 0);
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
    // The start of the erased-block program, then F10A F129 D005 120C: wait for a key and show its
    // digit.
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

TEST_F(QuorvixRunTest, TheFlickerFilterCanBeTurnedOff) {
    const std::string rom = folder.write("erased.ch8", drawnAndErased);
    const std::string png = (folder.path() / "erased.png").string();
    EXPECT_EQ(runTool("--flicker-filter off --frames 60 --screenshot " + png + " " + rom).first, 0);
    const std::string last = pictureRows(png, 64, 32); // the last frame, after the erase
    EXPECT_TRUE(!last.empty() && last.find('#') == std::string::npos) << last;
}

// A Chip-16 program that clears its buffer right after each vertical blank and draws
// two pixels of colour 7 only near the end of the frame (a count-down of 2 x 7900 of
// the frame's 16,667 cycles): almost any moment the run stops at finds the buffer
// cleared, while every presented frame holds the pixels. The screen text shows the
// presented frame, as the screenshot does.
TEST_F(QuorvixRunTest, Chip16ScreenTextShowsTheLastPresentedFrame) {
    Chip16Program p;
    p.vblnk().cls().ldi(0, 7900);
    const std::uint16_t countDown = p.here();
    p.subi(0, 1).jx(Chip16Condition::NZ, countDown).spr(1, 1).drw(1, 1, 0x1000).jmp(0);
    p.at(0x1000).data({0x77});
    const std::string rom = folder.write("late.c16", withChip16Header(p.image()));
    const std::string png = (folder.path() / "late.png").string();
    for (int run = 0; run < 2; ++run) {
        const auto [status, output] =
            runTool("--frames 20 --screen-text --screenshot " + png + " " + rom);
        ASSERT_EQ(status, 0) << output;
        EXPECT_NE(output.find("background 0\n77" + std::string(318, '0') + "\n"), std::string::npos)
            << output.substr(0, 400);
        const PngPixels shot = readPng(png);
        ASSERT_EQ(shot.width, 960u);
        EXPECT_NE(shot.rgba[0], shot.rgba[6]); // a drawn pixel and the background
    }
}

// The flag reaches the Chip-16 machine: Chip1613ST (whose run the ROM suite checks)
// meets no unknown opcode with it and the later instructions' opcodes without it.
TEST_F(QuorvixRunTest, Chip16ExtendedFlagTurnsOnTheLaterInstructions) {
    QUORVIX_REQUIRE_SHARED_ROMS();
    const std::string rom = (sharedRomFolder() / "chip16/tests/Chip1613ST.c16").string();
    // Without the wait, frames end the run as soon as they are shown; the margin keeps a
    // slow start on a busy machine from ending the run by the clock first.
    const auto [status, output] =
        runTool("--chip16-extended --no-wait --frames 300 --stats " + rom);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("unknown opcodes: none\n"), std::string::npos) << output;
    const auto [statusOff, outputOff] = runTool("--no-wait --frames 300 --stats " + rom);
    EXPECT_EQ(statusOff, 0) << outputOff;
    EXPECT_NE(outputOff.find("unknown opcode 0xa3: 1 times\nunknown opcode 0xd0: 2 times\n"),
              std::string::npos)
        << outputOff;
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
        {"--variant chip8 ", "####.\n#..#.\n#..#.\n#..#.\n####.\n"}};
    for (const auto& [option, glyph] : runs) {
        const auto [status, output] =
            runTool(std::string(option) + "--seconds 0.3 --screen-text -- " + rom);
        EXPECT_EQ(status, 0) << output;
        const std::string rows = output.substr(output.find('\n') + 1);
        EXPECT_EQ(cut(rows, {0, 0, 5, 5}), glyph) << option;
    }
    // XO-CHIP's memory reaches 0xFFFF, and a paced variant takes a speed.
    const auto [xoStatus, xoLog] =
        runTool("--variant xochip --speed 7 --poke 0xFFFF=1 --log --seconds 0.3 -- " + rom);
    EXPECT_EQ(xoStatus, 0) << xoLog;
    EXPECT_NE(xoLog.find("Variant: XO-CHIP\nSpeed: 7 instructions per 1/60 s\n"), std::string::npos)
        << xoLog;
    // A switch on top of the machine's rules: 8xy1 clears VF as under CHIP-8.
    const auto [quirkStatus, quirkOutput] =
        runTool("--quirk logic-resets-vf=on --log --seconds 0.3 --screen-text -- " + rom);
    EXPECT_EQ(quirkStatus, 0) << quirkOutput;
    EXPECT_NE(quirkOutput.find("Switches: logic-resets-vf=on\n"), std::string::npos) << quirkOutput;
    const std::string quirkRows = quirkOutput.substr(quirkOutput.find("chip-8 screen"));
    EXPECT_EQ(cut(quirkRows.substr(quirkRows.find('\n') + 1), {0, 0, 5, 5}),
              "####.\n#..#.\n#..#.\n#..#.\n####.\n");
    // Automatic: a ROM the database does not know runs by the machine's own rules.
    const auto [autoStatus, autoLog] = runTool("--variant auto --log --seconds 0.2 -- " + rom);
    EXPECT_EQ(autoStatus, 0) << autoLog;
    EXPECT_NE(autoLog.find("Program: not in the programs database; running by Quorvix rules\n"),
              std::string::npos)
        << autoLog;
    EXPECT_EQ(autoLog.find("Variant:"), std::string::npos) << autoLog;
    for (const char* bad :
         {"--variant bogus -- ", "--variant 1 -- ", "--bogus -- ", "",
          "--variant xochip --poke 0x10000=1 -- ", "--speed 100 -- ",
          "--variant schip --speed 100001 -- ", "--variant Auto -- ", "--quirk clip -- ",
          "--quirk clip=yes -- ", "--quirk clipping=on -- ", "--quirk =on -- ",
          "--quirk clip=on --quirk shift=on -- ", "--rotate 45 -- ", "--rotate -90 -- "}) {
        const auto [status, output] = runTool(bad + rom);
        EXPECT_EQ(status, 2) << bad << output;
        EXPECT_FALSE(output.empty()) << bad;
    }
    std::filesystem::current_path(workingFolder);
}

// Automatic on the Timendus suite: each ROM is named in the log and runs under the first
// platform the database lists for it, the COSMAC VIP's CHIP-8 for all but the scrolling
// test (SUPER-CHIP 1.1). The flags test then shows all its ticks, and the quirks test, in
// its CHIP-8 mode, a tick in every row.
TEST_F(QuorvixRunTest, AutomaticNamesEachSuiteProgramAndRunsItsFirstPlatform) {
    QUORVIX_REQUIRE_SHARED_ROMS();
    const auto suite = sharedRomFolder() / "chip8" / "timendus";
    const std::pair<const char*, const char*> programs[] = {{"1-chip8-logo.ch8", "splash screen"},
                                                            {"2-ibm-logo.ch8", "IBM logo"},
                                                            {"3-corax+.ch8", "Corax+ opcode test"},
                                                            {"4-flags.ch8", "Flags test"},
                                                            {"5-quirks.ch8", "Quirks test"},
                                                            {"6-keypad.ch8", "Keypad test"},
                                                            {"7-beep.ch8", "Beep test"},
                                                            {"8-scrolling.ch8", "Scrolling test"}};
    for (const auto& [file, title] : programs) {
        const bool scrolling = std::string_view(file) == "8-scrolling.ch8";
        // Only the pictures of these two are compared, after time enough to draw them.
        const bool checked =
            std::string_view(file) == "4-flags.ch8" || std::string_view(file) == "5-quirks.ch8";
        const auto [status, output] =
            runTool("--variant auto --log --no-wait --poke 0x1FF=1 --screen-text --seconds " +
                    std::string(checked ? "1 " : "0.2 ") + (suite / file).string());
        EXPECT_EQ(status, 0) << output;
        const std::string named =
            std::string("Program: CHIP-8 test suite: ") + title + " by Timendus (" +
            (scrolling ? "Superchip 1.1" : "Cosmac VIP CHIP-8") + ")\n" +
            "Variant: " + (scrolling ? "SUPER-CHIP 1.1 (legacy)" : "CHIP-8") + "\n";
        EXPECT_NE(output.find(named), std::string::npos) << file << "\n" << output;
        const std::string screen = output.substr(output.find("chip-8 screen"));
        const std::string rows = screen.substr(screen.find('\n') + 1);
        if (std::string_view(file) == "4-flags.ch8") {
            EXPECT_EQ(rows, pictureRows(suite / "expected-screens" / "flags.png", 64, 32)) << rows;
        }
        if (std::string_view(file) == "5-quirks.ch8") {
            const std::string tick =
                cut(pictureRows(suite / "expected-screens" / "quirks.png", 64, 32), {59, 2, 3, 3});
            for (std::uint32_t row = 0; row < 6; ++row) {
                EXPECT_EQ(cut(rows, {59, 2 + 5 * row, 3, 3}), tick) << "quirks row " << row << "\n"
                                                                    << rows;
            }
        }
    }
}

// --rotate turns the screenshot too: on its side the picture is 256 x 512.
TEST_F(QuorvixRunTest, RotateTurnsTheScreenshot) {
    const std::string rom =
        folder.write("dot.ch8", Chip8Program().ldi(0x300).drw(V0, V0, 1).jp(0x204).bytes());
    const std::string png = (folder.path() / "turned.png").string();
    const auto [status, output] =
        runTool("--rotate 90 --log --frames 5 --screenshot " + png + " " + rom);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Rotation: 90 degrees\n"), std::string::npos) << output;
    const PngPixels picture = readPng(png);
    EXPECT_EQ(ints(picture.width, picture.height), ints(256, 512));
}

TEST(QuorvixRunArgumentsTest, KeysAndPokes) {
    // The machine's own key numbers: CHIP-8 key A; the Chip-16 A button (bit 6); Up has
    // no CHIP-8 key (32: none); CHIP-8 key F is the V key, the Chip-16 B button (bit 7);
    // CHIP-8 key 0 is the X key, Select (bit 4).
    const std::tuple<const char*, MachineKind, int> keys[] = {
        {"a@1-2", MachineKind::Chip8, 0xA}, {"A@1-2", MachineKind::Chip16, 6},
        {"Up@0-5", MachineKind::Chip8, 32}, {"f@7-7", MachineKind::Chip16, 7},
        {"0@1-1", MachineKind::Chip16, 4},  {"select@1-1", MachineKind::Chip8, 0}};
    for (const auto& [text, machine, key] : keys) {
        const auto hold = parseKeyHold(text, machine);
        EXPECT_EQ(hold ? static_cast<int>(hold->machineKey) : -1, key) << text;
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
}
} // namespace
