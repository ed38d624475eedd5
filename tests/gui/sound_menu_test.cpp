// The Machine menu's Sound item and Volume submenu, and the sound a window's machine
// plays, through SDL's test drivers ("disk" writes the samples to a file).

#include "tests/gui/shell_fixture.h"

#include "app/gui/command_line.h"
#include "tools/program_builders/chip16_program.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace {
using SoundMenuTest = ShellTest;

std::vector<std::int16_t> readSamples(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

void waitAndServe(int milliseconds) {
    for (int i = 0; i < milliseconds / 10; ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST_F(SoundMenuTest, SoundIsOffAtStartAndTheItemsToggle) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    start();
    EXPECT_FALSE(window->isMenuItemChecked(command::sound));
    EXPECT_FALSE(window->sound().playing());
    EXPECT_EQ(checks(command::volumeFirstStep, command::volumeLastStep), "0001") << "100 %";
    window->handleCommand(command::sound);
    EXPECT_TRUE(window->isMenuItemChecked(command::sound));
    EXPECT_TRUE(window->sound().playing());
    window->handleCommand(command::volumeFirstStep + 1);
    EXPECT_EQ(checks(command::volumeFirstStep, command::volumeLastStep), "0100");
    EXPECT_EQ(window->sound().volumePercent(), 50);
    window->handleCommand(command::sound);
    EXPECT_FALSE(window->isMenuItemChecked(command::sound));
    EXPECT_FALSE(window->sound().playing());
}

// SND1 for 5 s: the tone arrives; File -> Close silences it at once.
TEST_F(SoundMenuTest, MachineSoundPlaysAndCloseSilencesIt) {
    const std::string raw = (folder.path() / "out.raw").string();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "5", 1);
    Chip16Program p;
    p.snd1(5000).jmp(4);
    const std::string rom = folder.write("tone.c16", withChip16Header(p.image()));
    start();
    window->setSoundOn(true);
    load(rom);
    waitAndServe(400);
    window->handleCommand(command::close);
    const std::size_t closedAt = readSamples(raw).size();
    waitAndServe(500);
    window->setSoundOn(false); // closes the device: the file is complete
    const auto samples = readSamples(raw);
    ASSERT_GT(samples.size(), closedAt + 4800);
    std::int16_t loud = 0;
    for (std::size_t i = 0; i < samples.size() - 4800; ++i) {
        loud = std::max(loud, samples[i]);
    }
    EXPECT_GT(loud, 14'000) << "a pulse at full volume";
    // What the file shows at the Close lags behind the device (a buffer under way, the
    // file's own buffering); long after it, only silence.
    for (std::size_t i = samples.size() - 4800; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i], 0) << i << " of " << samples.size();
    }
}

// Debug -> Pause and a stop at a breakpoint hold the sound (a paused machine is silent);
// Continue plays it on.
TEST_F(SoundMenuTest, DebuggerPauseAndStopsHoldTheSound) {
    const std::string raw = (folder.path() / "out.raw").string();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "5", 1);
    Chip16Program p;
    p.snd1(60000).jmp(4);
    const std::string rom = folder.write("tone.c16", withChip16Header(p.image()));
    start();
    window->setSoundOn(true);
    load(rom);
    // The loudest sample the device takes over `watch` ms, from `settle` ms on (what the
    // file shows lags behind the device).
    auto loudestAfter = [&](int settle, int watch) {
        waitAndServe(settle);
        const std::size_t from = readSamples(raw).size();
        waitAndServe(watch);
        const auto samples = readSamples(raw);
        int loudest = 0;
        for (std::size_t i = from; i < samples.size(); ++i) {
            loudest = std::max(loudest, std::abs(int{samples[i]}));
        }
        return loudest;
    };
    EXPECT_GT(loudestAfter(300, 300), 14'000) << "playing";
    window->handleCommand(command::debugPauseContinue);
    ASSERT_TRUE(machine()->paused());
    EXPECT_EQ(loudestAfter(300, 400), 0) << "paused";
    window->handleCommand(command::debugPauseContinue);
    ASSERT_FALSE(machine()->paused());
    EXPECT_GT(loudestAfter(300, 300), 14'000) << "continued";
    window->control().setBreakpoint(4, true); // the jump the program loops on
    EXPECT_EQ(loudestAfter(300, 400), 0) << "stopped at the breakpoint";
    EXPECT_TRUE(machine()->paused());
    window->setSoundOn(false);
}

TEST_F(SoundMenuTest, WithoutADeviceOneLineAndTheMachineRunsOn) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    Chip16Program p;
    p.snd1(5000).jmp(4);
    const std::string rom = folder.write("tone.c16", withChip16Header(p.image()));
    start();
    testing::internal::CaptureStderr();
    window->setSoundOn(true);
    load(rom);
    window->handleCommand(command::sound);
    window->handleCommand(command::sound);
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text.rfind("quorvix: no audio device (", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_TRUE(anythingRuns());
    EXPECT_FALSE(window->sound().playing());
}

TEST(SoundCommandLineTest, SoundOptionTurnsSoundOn) {
    const char* withSound[] = {"quorvix", "--sound", "a.ch8"};
    const CommandLineOutcome on = parseWindowCommandLine(3, withSound);
    ASSERT_TRUE(on.choices);
    EXPECT_TRUE(on.choices->sound);
    EXPECT_EQ(on.choices->rom, "a.ch8");
    const char* without[] = {"quorvix", "a.ch8"};
    EXPECT_FALSE(parseWindowCommandLine(2, without).choices->sound);
}
} // namespace
