// quorvix-run --wav: small programs' sounds written to a file, their length and pitch
// read back from it.

#include "tests/support/temp_file.h"
#include "tests/support/tool_output.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {
using namespace chip8reg;

struct Wav {
    std::vector<std::uint8_t> header;
    std::vector<std::int16_t> samples;
};

Wav readWav(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    Wav wav;
    if (bytes.size() < 44) {
        return wav;
    }
    wav.header.assign(bytes.begin(), bytes.begin() + 44);
    wav.samples.resize((bytes.size() - 44) / 2);
    std::memcpy(wav.samples.data(), bytes.data() + 44, wav.samples.size() * 2);
    return wav;
}

// The stretch of samples that are not silent, as [first, last].
std::pair<std::size_t, std::size_t> soundingSpan(const std::vector<std::int16_t>& s) {
    const auto first = std::find_if(s.begin(), s.end(), [](auto v) { return v != 0; });
    const auto last = std::find_if(s.rbegin(), s.rend(), [](auto v) { return v != 0; });
    if (first == s.end()) {
        return {0, 0};
    }
    return {static_cast<std::size_t>(first - s.begin()),
            static_cast<std::size_t>(s.rend() - last - 1)};
}

double hertzOf(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        crossings += s[i - 1] < 0 && s[i] >= 0 ? 1 : 0;
    }
    return crossings * 48'000.0 / static_cast<double>(to - from);
}

class QuorvixRunSoundTest : public ::testing::Test {
  protected:
    // Runs the tool and reads the WAV file it wrote.
    Wav run(const std::string& options, const std::string& romName,
            const std::vector<std::uint8_t>& rom) {
        const std::string path = folder.write(romName, rom);
        const std::string wav = (folder.path() / "sound.wav").string();
        const auto [status, output] = runCommand(std::string(QUORVIX_RUN_EXECUTABLE) + " " +
                                                 options + " --wav " + wav + " " + path + " 2>&1");
        EXPECT_EQ(status, 0) << output;
        return readWav(wav);
    }
    TempDirectory folder;
};

TEST_F(QuorvixRunSoundTest, SoundTimerOf30TicksIsHalfASecondOfBuzzer) {
    Chip8Program p;
    p.ld(V0, 30).setSound(V0).jp(p.here());
    const Wav wav = run("--variant chip8 --frames 60", "beep.ch8", p.bytes());
    ASSERT_EQ(wav.header.size(), 44u);
    // RIFF/WAVE, PCM, 1 channel, 48000 Hz, 96000 bytes/s, 2 bytes a frame, 16 bits.
    const std::vector<std::uint8_t> format = {'W',  'A',  'V',  'E', 'f', 'm', 't',  ' ',  16, 0,
                                              0,    0,    1,    0,   1,   0,   0x80, 0xBB, 0,  0,
                                              0x00, 0x77, 0x01, 0,   2,   0,   16,   0};
    EXPECT_TRUE(std::equal(format.begin(), format.end(), wav.header.begin() + 8));
    EXPECT_EQ(std::string(wav.header.begin(), wav.header.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.header.begin() + 36, wav.header.begin() + 40), "data");
    const auto [first, last] = soundingSpan(wav.samples);
    // 30 ticks of 1/60 s from the first tick: 500 ms (24000 samples), plus the fade.
    EXPECT_NEAR(static_cast<double>(last - first), 24'000 + 72, 80);
    EXPECT_NEAR(static_cast<double>(first), 800, 100) << "the first tick's time";
    EXPECT_NEAR(hertzOf(wav.samples, first + 500, last - 500), 440, 2);
}

// Bytes FF 00 over and over: 8 cycles in 128 bits; pitch 112 is 8000 bits/s, so 500 Hz.
TEST_F(QuorvixRunSoundTest, XoChipPatternPlaysAtItsPitch) {
    Chip8Program p;
    const auto pattern = p.label();
    p.ldi(pattern).audio().ld(V0, 112).pitch(V0).ld(V1, 30).setSound(V1);
    p.jp(p.here());
    p.bind(pattern).data({0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00,
                          0xFF, 0x00, 0xFF, 0x00});
    const Wav wav = run("--variant xochip --frames 60", "pattern.ch8", p.bytes());
    const auto [first, last] = soundingSpan(wav.samples);
    EXPECT_NEAR(static_cast<double>(last - first), 24'000 + 72, 80);
    EXPECT_NEAR(hertzOf(wav.samples, first + 500, last - 500), 500, 2);
}

// SNG: attack 2 ms, decay 24 ms, sustain 15, release 6 ms, volume 15, pulse; SNP R1
// for 300 ms with the word at 0x0300 (440).
TEST_F(QuorvixRunSoundTest, Chip16EnvelopedTone) {
    Chip16Program p;
    p.ldi(1, 0x0300).raw(0x0E, 0x01, 0xF0, 0xF2).raw(0x0D, 0x01, 0x2C, 0x01);
    p.jmp(p.here());
    p.at(0x0300).word(440);
    const Wav wav = run("--chip16-extended --frames 90", "tone.c16", withChip16Header(p.image()));
    const auto [first, last] = soundingSpan(wav.samples);
    // 300 ms and the 6 ms release: 14688 samples.
    EXPECT_NEAR(static_cast<double>(last - first), 14'688, 60);
    EXPECT_LT(first, 100u) << "within the first 2 ms";
    EXPECT_NEAR(hertzOf(wav.samples, first + 500, last - 500), 440, 2);
}

// A run from a state saved 1 s into the program, while its sound timer (set to 255)
// ran: the file holds the run's own time, sounding from its start.
TEST_F(QuorvixRunSoundTest, RunFromAStateSoundsAsTheStateDoes) {
    Chip8Program p;
    p.ld(V0, 255).setSound(V0).jp(p.here());
    const std::string rom = folder.write("long.ch8", p.bytes());
    const std::string state = (folder.path() / "one-second.qvstate").string();
    const std::string tool = QUORVIX_RUN_EXECUTABLE;
    const auto [saved, savedOutput] = runCommand(
        tool + " --variant chip8 --frames 70 --save-state " + state + "@60 " + rom + " 2>&1");
    ASSERT_EQ(saved, 0) << savedOutput;
    const std::string wavPath = (folder.path() / "restored.wav").string();
    const auto [status, output] = runCommand(tool + " --variant chip8 --frames 60 --load-state " +
                                             state + " --wav " + wavPath + " " + rom + " 2>&1");
    ASSERT_EQ(status, 0) << output;
    const Wav wav = readWav(wavPath);
    // About 1 s (a slow machine's ticks trail the display clock), not the 2 s from the
    // program's start.
    EXPECT_GT(wav.samples.size(), 24'000u);
    EXPECT_LT(wav.samples.size(), 72'000u);
    const auto [first, last] = soundingSpan(wav.samples);
    EXPECT_LT(first, 100u);
    ASSERT_GT(last, wav.samples.size() - 100);
    EXPECT_NEAR(hertzOf(wav.samples, first + 500, last - 500), 440, 2);
}

// An empty name is a usage error; a file that cannot be written completely fails the run.
TEST_F(QuorvixRunSoundTest, UnwritableWavFileIsAFailure) {
    const std::string tool = QUORVIX_RUN_EXECUTABLE;
    const auto [status, output] = runCommand(tool + " --wav '' x.c16 2>&1");
    EXPECT_EQ(status, 2) << output;
    Chip8Program p;
    p.ld(V0, 30).setSound(V0).jp(p.here());
    const std::string rom = folder.write("beep.ch8", p.bytes());
    const auto [full, message] =
        runCommand(tool + " --variant chip8 --frames 30 --wav /dev/full " + rom + " 2>&1");
    EXPECT_EQ(full, 1);
    EXPECT_NE(message.find("quorvix-run: cannot write /dev/full"), std::string::npos) << message;
}
} // namespace
