#include "app/machine_control.h"

#include "app/console_log.h"
#include "app/emulator_state.h"
#include "chip16/chip16_machine.h"
#include "chip16/start_stop.h"
#include "chip8/chip8_machine.h"
#include "chip8/start_stop.h"
#include "platform/headless/headless_host.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

namespace {
const std::vector<std::uint8_t> chip8Spin = {0x12, 0x00};              // JP 0x200
const std::vector<std::uint8_t> chip16Spin = {0x10, 0x00, 0x00, 0x00}; // JMP 0

class MachineControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::setMainSurface(&surface);
        headless::captureConsole(true);
        headless::takeConsoleText();
        verboseConsole = 1;
        romPath.clear();
        romFileTitle.clear();
        EmulatorMode = MachineKind::Chip16;
    }
    void TearDown() override {
        closeRom();
        verboseConsole = 0;
        headless::captureConsole(false);
        headless::setMainSurface(nullptr);
    }
    bool chip8Runs() const { return chip8.executeWorker && chip8.renderWorker; }
    bool chip16Runs() const { return chip16.executeWorker != nullptr; }

    headless::FrameSink surface;
    TempDirectory folder;
};

TEST_F(MachineControlTest, NameDecidesTheMachineAndIsLoggedLowerCased) {
    struct Case {
        std::string title;
        MachineKind mode;
        std::string message;
    };
    const Case cases[] = {
        {"TETRIS.C16", MachineKind::Chip16, "Loading: tetris.c16\nEmulator Mode: Chip-16\n"},
        {"demo.c16.bak", MachineKind::Chip16, "Loading: demo.c16.bak\nEmulator Mode: Chip-16\n"},
        {"x.c160", MachineKind::Chip16, "Loading: x.c160\nEmulator Mode: Chip-16\n"},
        {"/Games.C16/pong.ch8", MachineKind::Chip16,
         "Loading: /games.c16/pong.ch8\nEmulator Mode: Chip-16\n"},
        {"game.sc8", MachineKind::Chip8, "Loading: game.sc8\nEmulator Mode: Chip-8\n"},
        {"GAME.CH8", MachineKind::Chip8, "Loading: game.ch8\nEmulator Mode: Chip-8\n"},
        {"game.c8", MachineKind::Chip8, "Loading: game.c8\nEmulator Mode: Chip-8\n"},
        {"game.bin", MachineKind::Chip8, "Loading: game.bin\nEmulator Mode: Chip-8\n"},
        {"no-extension", MachineKind::Chip8, "Loading: no-extension\nEmulator Mode: Chip-8\n"},
        {"game.c 16", MachineKind::Chip8, "Loading: game.c 16\nEmulator Mode: Chip-8\n"},
        // Only A-Z are lowered: bytes of other letters pass unchanged.
        {"\xC3\x84RGER.C16", MachineKind::Chip16,
         "Loading: \xC3\x84rger.c16\nEmulator Mode: Chip-16\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EmulatorMode = c.mode == MachineKind::Chip8 ? MachineKind::Chip16 : MachineKind::Chip8;
        romFileTitle = c.title;
        detectEmulatorMode();
        EXPECT_EQ(EmulatorMode.load(), c.mode);
        EXPECT_EQ(headless::takeConsoleText(), c.message);
        EXPECT_EQ(romFileTitle, c.title); // the copy is lowered, not the name
    }
}

TEST_F(MachineControlTest, CommandLineNamesTheRomByItsWholePath) {
    const char* withRom[] = {"quorvix", "/Roms/Pong.CH8", "ignored"};
    takeRomFromCommandLine(3, withRom);
    EXPECT_EQ(romPath, "/Roms/Pong.CH8");
    EXPECT_EQ(romFileTitle, "/Roms/Pong.CH8");
    detectEmulatorMode();
    EXPECT_EQ(headless::takeConsoleText(), "Loading: /roms/pong.ch8\nEmulator Mode: Chip-8\n");

    const char* withoutRom[] = {"quorvix"};
    takeRomFromCommandLine(1, withoutRom);
    EXPECT_EQ(romPath, "");
    EXPECT_EQ(romFileTitle, "");
}

TEST_F(MachineControlTest, ResetWithoutRomSelectsChip8AndRunsNothing) {
    resetRom();
    EXPECT_EQ(EmulatorMode.load(), MachineKind::Chip8);
    EXPECT_EQ(headless::takeConsoleText(),
              "Loading: \nEmulator Mode: Chip-8\nError: Rom not found!\n");
    EXPECT_FALSE(chip8Runs());
    EXPECT_FALSE(chip16Runs());
}

TEST_F(MachineControlTest, ChosenFileIsRunAndCloseKeepsItForReset) {
    const std::string path = folder.write("Spin.CH8", chip8Spin);
    ASSERT_TRUE(startChosenRom(path, "Spin.CH8"));
    EXPECT_EQ(romPath, path);
    EXPECT_EQ(romFileTitle, "Spin.CH8");
    EXPECT_EQ(headless::takeConsoleText(), "Loading: spin.ch8\nEmulator Mode: Chip-8\n");
    EXPECT_TRUE(chip8Runs());

    closeRom();
    EXPECT_FALSE(chip8Runs());
    EXPECT_EQ(romPath, path);
    EXPECT_EQ(EmulatorMode.load(), MachineKind::Chip8);

    resetRom();
    EXPECT_TRUE(chip8Runs());
}

TEST_F(MachineControlTest, Chip16RomReplacesRunningChip8Machine) {
    ASSERT_TRUE(startChosenRom(folder.write("a.ch8", chip8Spin), "a.ch8"));
    ASSERT_TRUE(chip8Runs());
    ASSERT_TRUE(startChosenRom(folder.write("b.c16", chip16Spin), "b.c16"));
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_EQ(chip8.display, nullptr);
    EXPECT_TRUE(chip16Runs());
    EXPECT_EQ(EmulatorMode.load(), MachineKind::Chip16);

    ASSERT_TRUE(startChosenRom(folder.write("c.ch8", chip8Spin), "c.ch8"));
    EXPECT_FALSE(chip16Runs());
    EXPECT_EQ(chip16.display, nullptr);
    EXPECT_TRUE(chip8Runs());
}

TEST_F(MachineControlTest, MissingFileLeavesTheMachineStoppedButNamed) {
    ASSERT_TRUE(startChosenRom(folder.write("a.ch8", chip8Spin), "a.ch8"));
    headless::takeConsoleText();
    const std::string missing = (folder.path() / "gone.c16").string();
    ASSERT_TRUE(startChosenRom(missing, "gone.c16"));
    EXPECT_EQ(headless::takeConsoleText(),
              "Loading: gone.c16\nEmulator Mode: Chip-16\nError: Rom not found!\n");
    EXPECT_FALSE(chip8Runs());
    EXPECT_FALSE(chip16Runs());
    EXPECT_EQ(romPath, missing);
}

TEST_F(MachineControlTest, ChoiceLongerThanTheDialogBuffersChangesNothing) {
    const std::string path = folder.write("a.ch8", chip8Spin);
    ASSERT_TRUE(startChosenRom(path, "a.ch8"));
    headless::takeConsoleText();

    EXPECT_FALSE(startChosenRom(std::string(maxChosenPathLength + 1, 'p'), "x.c16"));
    EXPECT_FALSE(startChosenRom("/x.c16", std::string(maxChosenNameLength + 1, 'n')));
    EXPECT_EQ(romPath, path);
    EXPECT_EQ(romFileTitle, "a.ch8");
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(headless::takeConsoleText(), "");

    // The longest choices the buffers hold are taken.
    EXPECT_TRUE(startChosenRom(std::string(maxChosenPathLength, 'p'),
                               std::string(maxChosenNameLength, 'n')));
    EXPECT_EQ(romFileTitle.size(), maxChosenNameLength);
}
} // namespace
