#include "app/machine_control.h"

#include "app/chip8_runtime.h"
#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tests/support/captured_console.h"
#include "tests/support/golden.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <thread>

namespace {
class MachineControlTest : public ::testing::Test {
  protected:
    void SetUp() override { headless::setMainSurface(&surface); }
    void TearDown() override {
        control.closeRom();
        headless::setMainSurface(nullptr);
    }
    bool anythingRuns() { return control.machine() != nullptr && control.machine()->running(); }

    CapturedConsole console;
    headless::FrameSink surface;
    TempDirectory folder;
    MachineControl control;
};

TEST_F(MachineControlTest, NameDecidesTheMachineAndIsLoggedLowerCased) {
    const struct {
        const char* title;
        const char* logged;
        MachineKind mode;
    } cases[] = {
        {"TETRIS.C16", "tetris.c16", MachineKind::Chip16},
        {"demo.c16.bak", "demo.c16.bak", MachineKind::Chip16},
        {"x.c160", "x.c160", MachineKind::Chip16},
        {"/Games.C16/pong.ch8", "/games.c16/pong.ch8", MachineKind::Chip16},
        {"game.sc8", "game.sc8", MachineKind::Chip8},
        {"GAME.CH8", "game.ch8", MachineKind::Chip8},
        {"game.bin", "game.bin", MachineKind::Chip8},
        {"no-extension", "no-extension", MachineKind::Chip8},
        {"game.c 16", "game.c 16", MachineKind::Chip8},
        {"\xC3\x84RGER.C16", "\xC3\x84rger.c16", MachineKind::Chip16}, // only A-Z are lowered
    };
    for (const auto& c : cases) {
        const char* argv[] = {"quorvix", c.title};
        control.takeRomFromCommandLine(2, argv);
        control.detectEmulatorMode();
        EXPECT_EQ(control.mode(), c.mode) << c.title;
        EXPECT_EQ(console.take(), std::string("Loading: ") + c.logged + "\nEmulator Mode: " +
                                      (c.mode == MachineKind::Chip8 ? "Chip-8\n" : "Chip-16\n"));
        EXPECT_EQ(control.romFileTitle(), c.title); // the copy is lowered, not the name
    }
}

// Only the Load dialog has a buffer for the file name; the command line takes names of
// any length (here 200 bytes: 65 three-byte characters, "X.CH8"). The window's test
// drops the same name.
TEST_F(MachineControlTest, CommandLineNamesTheRomByItsWholePathOfAnyLength) {
    const char* withRom[] = {"quorvix", "/Roms/Pong.CH8", "ignored"};
    control.takeRomFromCommandLine(3, withRom);
    EXPECT_EQ(control.romPath(), "/Roms/Pong.CH8");
    EXPECT_EQ(control.romFileTitle(), "/Roms/Pong.CH8");
    const char* withoutRom[] = {"quorvix"};
    control.takeRomFromCommandLine(1, withoutRom);
    EXPECT_EQ(control.romPath(), "");

    // Reset before any ROM was named: Chip-8, an empty name, nothing runs.
    control.resetRom();
    EXPECT_EQ(control.mode(), MachineKind::Chip8);
    EXPECT_EQ(console.take(), "Loading: \nEmulator Mode: Chip-8\nError: Rom not found!\n");
    EXPECT_FALSE(anythingRuns());

    std::string name;
    for (int i = 0; i < 65; ++i) {
        name += "\xE4\xB8\xAD";
    }
    name += "X.CH8";
    ASSERT_EQ(name.size(), 200u);
    const std::string path = folder.write(name, {0x12, 0x00});
    const char* argv[] = {"quorvix", path.c_str()};
    control.takeRomFromCommandLine(2, argv);
    control.resetRom();
    EXPECT_EQ(control.romPath(), path);
    EXPECT_TRUE(console.take().ends_with(name.substr(0, 195) + "x.ch8\nEmulator Mode: Chip-8\n"));
    EXPECT_TRUE(anythingRuns());
}

TEST_F(MachineControlTest, FailedStartKeepsTheNameAndALongChoiceChangesNothing) {
    const std::string path = folder.write("a.ch8", {0x12, 0x00});
    ASSERT_TRUE(control.startChosenRom(path, "a.ch8"));
    EXPECT_EQ(console.take(), "Loading: a.ch8\nEmulator Mode: Chip-8\n");
    EXPECT_TRUE(anythingRuns());

    // The dialog's buffers hold 1023 and 127 characters with the terminating zero.
    EXPECT_FALSE(control.startChosenRom(std::string(maxChosenPathLength + 1, 'p'), "x.c16"));
    EXPECT_FALSE(control.startChosenRom("/x.c16", std::string(maxChosenNameLength + 1, 'n')));
    EXPECT_EQ(control.romPath(), path);
    EXPECT_TRUE(anythingRuns());

    const std::string missing = (folder.path() / std::string(maxChosenNameLength, 'n')).string();
    ASSERT_TRUE(
        control.startChosenRom(missing, std::string(maxChosenNameLength - 4, 'n') + ".C16"));
    EXPECT_TRUE(console.take().ends_with("Emulator Mode: Chip-16\nError: Rom not found!\n"));
    EXPECT_FALSE(anythingRuns());
    EXPECT_EQ(control.romPath(), missing);
}
TEST_F(MachineControlTest, CloseDropsAResetTheExitInstructionLeftQueued) {
    headless::takePostedCommands();
    // 00FD: the SCHIP exit instruction, which asks the window for a Reset.
    ASSERT_TRUE(control.startChosenRom(folder.write("exit.ch8", {0x00, 0xFD}), "exit.ch8"));
    for (int waited = 0; headless::postedCommandCount() == 0 && waited < 60'000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(headless::postedCommandCount(), 1u);
    control.closeRom();
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{});
    EXPECT_FALSE(anythingRuns());
}

// A start hands the machine the chosen rules and names a variant other than the
// default after the mode line; the choice of the other machine is not named. A chosen
// speed paces a paced variant and is named after it; the unpaced rules ignore it.
TEST_F(MachineControlTest, StartAppliesTheChosenVariantAndNamesIt) {
    const std::string chip8Rom = folder.write("a.ch8", {0x12, 0x00});
    const std::string chip16Rom = folder.write("a.c16", {0x10, 0x00, 0x00, 0x00});
    const std::string chip8Mode = "Loading: a.ch8\nEmulator Mode: Chip-8\n";
    const std::string chip16Mode = "Loading: a.c16\nEmulator Mode: Chip-16\n";
    const struct {
        Chip8Variant variant;
        bool extended;
        bool chip16;
        std::string logged;
        std::uint32_t speed = 0;
    } cases[] = {
        {Chip8Variant::Quorvix, false, false, chip8Mode},
        {Chip8Variant::SuperChipModern, true, false, chip8Mode + "Variant: SUPER-CHIP (modern)\n"},
        {Chip8Variant::Chip8, false, false, chip8Mode + "Variant: CHIP-8\n"},
        {Chip8Variant::Chip8, false, true, chip16Mode},
        {Chip8Variant::Quorvix, true, true,
         chip16Mode + "Variant: Chip-16 Extended Instructions\n"},
        {Chip8Variant::XoChip, false, false,
         chip8Mode + "Variant: XO-CHIP\nSpeed: 200 instructions per 1/60 s\n", 200},
        {Chip8Variant::Quorvix, false, false, chip8Mode, 200},
    };
    for (const auto& c : cases) {
        MachineChoices choices;
        choices.variant = c.variant;
        choices.chip16Extended = c.extended;
        choices.speed = c.speed;
        control.setChoices(choices);
        ASSERT_TRUE(c.chip16 ? control.startChosenRom(chip16Rom, "a.c16")
                             : control.startChosenRom(chip8Rom, "a.ch8"));
        EXPECT_EQ(console.take(), c.logged);
        Chip8Rules expected = chip8RulesFor(c.variant);
        if (c.speed != 0 && expected.instructionsPerTick != 0) {
            expected.instructionsPerTick = c.speed;
        }
        const auto* chip8 = dynamic_cast<Chip8Runtime*>(control.machine());
        ASSERT_EQ(chip8 != nullptr, !c.chip16);
        if (chip8 != nullptr) {
            EXPECT_EQ(chip8->machine().rules, expected) << c.logged;
        }
    }
}

// The rules the running CHIP-8 machine was made with.
Chip8Rules runningRules(MachineControl& control) {
    const auto* chip8 = dynamic_cast<Chip8Runtime*>(control.machine());
    return chip8 != nullptr ? chip8->machine().rules : Chip8Rules{};
}

// Automatic names the program or says it is unknown; a Chip-16 ROM is not looked up. The
// user's switches go on top of the variant and are named after it; a rotation is named
// last.
TEST_F(MachineControlTest, StartUnderAutomaticWithSwitchesAndRotation) {
    const std::string chip8Rom = folder.write("a.ch8", {0x12, 0x00});
    const std::string chip16Rom = folder.write("a.c16", {0x10, 0x00, 0x00, 0x00});
    const std::string chip8Mode = "Loading: a.ch8\nEmulator Mode: Chip-8\n";
    MachineChoices choices;
    choices.automatic = true;
    choices.speed = 200; // the machine's own rules are unpaced: no speed
    control.setChoices(choices);
    ASSERT_TRUE(control.startChosenRom(chip8Rom, "a.ch8"));
    EXPECT_EQ(console.take(),
              chip8Mode + "Program: not in the programs database; running by Quorvix rules\n");
    EXPECT_EQ(runningRules(control), quorvixRules);
    ASSERT_TRUE(control.startChosenRom(chip16Rom, "a.c16"));
    EXPECT_EQ(console.take(), "Loading: a.c16\nEmulator Mode: Chip-16\n");

    choices = {};
    choices.variant = Chip8Variant::SuperChipModern;
    choices.overrides.set(5, false); // clip
    choices.overrides.set(0, true);  // logic-resets-vf
    choices.rotation = 270;
    control.setChoices(choices);
    ASSERT_TRUE(control.startChosenRom(chip8Rom, "a.ch8"));
    EXPECT_EQ(console.take(), chip8Mode +
                                  "Variant: SUPER-CHIP (modern)\nSwitches: logic-resets-vf=on, "
                                  "clip=off\nRotation: 270 degrees\n");
    Chip8Rules expected = chip8RulesFor(Chip8Variant::SuperChipModern);
    expected.clipsSprites = false;
    expected.logicResetsVF = true;
    EXPECT_EQ(runningRules(control), expected);
    EXPECT_EQ(control.chip8Plan().rotation, 270);
}

// The scrolling test of the Timendus suite is a SUPER-CHIP 1.1 program, whose platform
// in the database has no display wait; its tick rate is the platform's 30.
TEST_F(MachineControlTest, AutomaticRunsAKnownRomByItsPlatform) {
    QUORVIX_REQUIRE_SHARED_ROMS();
    MachineChoices choices;
    choices.automatic = true;
    control.setChoices(choices);
    const auto rom = sharedRomFolder() / "chip8" / "timendus" / "8-scrolling.ch8";
    ASSERT_TRUE(control.startChosenRom(rom.string(), "8-scrolling.ch8"));
    // The running program may log after these lines.
    const std::string logged = console.take();
    EXPECT_TRUE(logged.starts_with(
        "Loading: 8-scrolling.ch8\nEmulator Mode: Chip-8\n"
        "Program: CHIP-8 test suite: Scrolling test by Timendus (Superchip 1.1)\n"
        "Variant: SUPER-CHIP 1.1 (legacy)\n"
        "Switches: display-wait=off, display-wait-lores-only=off\n"))
        << logged;
    Chip8Rules expected = chip8RulesFor(Chip8Variant::SuperChipLegacy);
    expected.displayWait = Chip8DisplayWait::Never;
    EXPECT_EQ(runningRules(control), expected);
}
} // namespace

namespace {
// The loudest of the next 100 ms of samples.
int loudnessOfNext(LiveSound& sound) {
    std::vector<std::int16_t> buffer(4800);
    sound.fill(buffer);
    int peak = 0;
    for (const std::int16_t sample : buffer) {
        peak = std::max(peak, std::abs(int{sample}));
    }
    return peak;
}

// Fills until something sounds, as the audio callback would, for at most 2 s.
int loudnessOnceSounding(LiveSound& sound) {
    for (int i = 0; i < 200; ++i) {
        if (const int peak = loudnessOfNext(sound); peak != 0) {
            return peak;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// ST = 255 (over 4 s of buzzer) and a loop: the started machine reports to the sound;
// pausing holds it, continuing brings it back, Close silences it.
TEST_F(MachineControlTest, SoundFollowsTheMachineThroughPauseAndClose) {
    initClock();
    LiveSound sound;
    sound.setListening(true);
    control.setSound(&sound);
    const std::string rom = folder.write("beep.ch8", {0x60, 0xFF, 0xF0, 0x18, 0x12, 0x04});
    ASSERT_TRUE(control.startChosenRom(rom, "beep.ch8"));
    EXPECT_GT(loudnessOnceSounding(sound), 14'000);

    control.setPaused(true);
    EXPECT_TRUE(control.machine()->paused());
    loudnessOfNext(sound); // the fade
    EXPECT_EQ(loudnessOfNext(sound), 0);
    control.setPaused(false);
    EXPECT_FALSE(control.machine()->paused());
    EXPECT_GT(loudnessOnceSounding(sound), 14'000);

    control.closeRom();
    loudnessOfNext(sound);
    EXPECT_EQ(loudnessOfNext(sound), 0);
    control.setSound(nullptr);
}

// A restored state brings its own sound, whatever played before: a CHIP-8 sound timer
// running in the state sounds, a stopped one is silent; a Chip-16 state keeps no tone,
// so the tone that played stops.
TEST_F(MachineControlTest, RestoredStateReplacesTheSound) {
    initClock();
    LiveSound sound;
    sound.setListening(true);
    control.setSound(&sound);
    const std::string loop = folder.write("loop.ch8", {0x12, 0x00}); // jumps to itself
    ASSERT_TRUE(control.startChosenRom(loop, "loop.ch8"));
    auto state = std::any_cast<Chip8State>(control.machine()->takeState());
    state.soundTimer = 255;
    ASSERT_TRUE(control.machine()->restoreState(state));
    EXPECT_GT(loudnessOnceSounding(sound), 14'000) << "the state's sound timer runs";
    state.soundTimer = 0;
    ASSERT_TRUE(control.machine()->restoreState(state));
    loudnessOfNext(sound); // the fade
    EXPECT_EQ(loudnessOfNext(sound), 0) << "the state's sound timer is stopped";

    // SND1 for 5 s (0x1388 ms), then a jump to itself at 4.
    const std::string tone =
        folder.write("tone.c16", {0x0A, 0x00, 0x88, 0x13, 0x10, 0x00, 0x04, 0x00});
    ASSERT_TRUE(control.startChosenRom(tone, "tone.c16"));
    EXPECT_GT(loudnessOnceSounding(sound), 14'000);
    const std::any toneState = control.machine()->takeState();
    ASSERT_TRUE(std::any_cast<Chip16State>(&toneState) != nullptr);
    ASSERT_TRUE(control.machine()->restoreState(toneState));
    loudnessOfNext(sound);
    EXPECT_EQ(loudnessOfNext(sound), 0) << "the tone of before the restore";
    control.closeRom();
    control.setSound(nullptr);
}
} // namespace
