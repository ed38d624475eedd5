// The SDL output with SDL's own test drivers: "dummy" calls back in real time with no
// sound card, "disk" writes what it was given to a file.

#include "platform/clock.h"
#include "platform/sdl/sdl_audio_output.h"
#include "sound/live_sound.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;

TEST(SdlAudioOutputTest, CallbackAsksForSamples) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::atomic<std::size_t> asked{0};
    auto output = SdlAudioOutput::open(
        "test", [&asked](std::span<std::int16_t> out) { asked.fetch_add(out.size()); });
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->driver(), "dummy");
    EXPECT_LE(output->grantedFrames(), 1024);
    for (int i = 0; i < 200 && asked.load() < 4800; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_GE(asked.load(), 4800u) << "a tenth of a second of samples";
}

// What the device plays, through the disk driver: the tone, then, held, silence.
TEST(SdlAudioOutputTest, SamplesArriveAndHoldSilences) {
    initClock();
    TempDirectory folder;
    const std::string path = (folder.path() / "out.raw").string();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "5", 1);
    LiveSound sound;
    sound.setListening(true);
    SoundEvent start;
    start.kind = SoundEventKind::TimerStarted;
    sound.hook()(start);
    std::atomic<bool> held{false};
    std::atomic<std::size_t> afterHold{0};
    {
        auto output = SdlAudioOutput::open("test", [&](std::span<std::int16_t> out) {
            sound.fill(out);
            if (held.load()) {
                afterHold.fetch_add(out.size());
            }
        });
        ASSERT_NE(output, nullptr);
        std::this_thread::sleep_for(300ms);
        sound.hold(true);
        held.store(true);
        for (int i = 0; i < 200 && afterHold.load() < 9600; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    }
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GT(bytes.size(), 2u * 9600);
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t count = bytes.size() / 2;
    std::int16_t loud = 0;
    for (std::size_t i = 0; i < count / 2; ++i) {
        loud = std::max<std::int16_t>(loud, samples[i]);
    }
    EXPECT_GT(loud, 14'000) << "the buzzer arrived";
    // The last 100 ms, held: silence.
    for (std::size_t i = count - 4800; i < count; ++i) {
        ASSERT_EQ(samples[i], 0) << i << " of " << count;
    }
}

TEST(SdlAudioOutputTest, MissingDeviceIsReportedOnce) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SdlAudioOutput::open("quorvix", [](std::span<std::int16_t>) {}), nullptr);
    EXPECT_EQ(SdlAudioOutput::open("quorvix", [](std::span<std::int16_t>) {}), nullptr);
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text.rfind("quorvix: no audio device (", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("; running without sound\n"), std::string::npos) << text;
}
} // namespace
