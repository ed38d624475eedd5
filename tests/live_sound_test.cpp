// Sound as it plays: events through the hook come out of fill() at their emulated
// times' spacing; nothing plays without events, while not listening, after silence()
// or while held; a worker pushing while the callback fills is safe.

#include "platform/clock.h"
#include "sound/live_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {
constexpr std::uint64_t millisecond = 1'000'000;

SoundEvent at(SoundEventKind kind, std::uint64_t time) {
    SoundEvent e;
    e.kind = kind;
    e.time = time;
    return e;
}

// `buffers` callbacks of 512 samples, one after another.
std::vector<std::int16_t> fillBuffers(LiveSound& sound, int buffers) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(buffers) * 512);
    for (int i = 0; i < buffers; ++i) {
        sound.fill(std::span(out).subspan(static_cast<std::size_t>(i) * 512, 512));
    }
    return out;
}

std::int16_t peakOf(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    std::int16_t peak = 0;
    for (std::size_t i = from; i < std::min(to, s.size()); ++i) {
        peak = std::max<std::int16_t>(peak, static_cast<std::int16_t>(std::abs(s[i])));
    }
    return peak;
}

class LiveSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        initClock();
        sound.setListening(true);
    }
    LiveSound sound;
};

TEST_F(LiveSoundTest, EventsPlayWithTheirSpacingAndAnUnderrunIsSilence) {
    EXPECT_EQ(peakOf(fillBuffers(sound, 4), 0, 2048), 0) << "nothing to play";
    const SoundHook hook = sound.hook();
    // Pushed as a machine would: the stop comes once its time is near.
    hook(at(SoundEventKind::TimerStarted, 50 * millisecond));
    auto s = fillBuffers(sound, 4);
    hook(at(SoundEventKind::TimerStopped, 150 * millisecond));
    const auto rest = fillBuffers(sound, 16);
    s.insert(s.end(), rest.begin(), rest.end());
    const auto first = std::find_if(s.begin(), s.end(), [](auto v) { return v != 0; });
    const auto last = std::find_if(s.rbegin(), s.rend(), [](auto v) { return v != 0; });
    ASSERT_NE(first, s.end());
    // Placed the lag (16 ms = 768 samples) after it was pushed, and 100 ms long.
    EXPECT_NEAR(first - s.begin(), 768, 30);
    const auto length = (s.rend() - last) - (first - s.begin());
    EXPECT_NEAR(length, 4800 + 72, 30);
    EXPECT_GT(peakOf(s, 2000, 4000), 16'000 * 9 / 10) << "half of full scale at volume 1";
}

TEST_F(LiveSoundTest, NothingPlaysWhileNotListening) {
    sound.setListening(false);
    sound.hook()(at(SoundEventKind::TimerStarted, 0));
    EXPECT_EQ(peakOf(fillBuffers(sound, 8), 0, 4096), 0);
}

TEST_F(LiveSoundTest, SilenceStopsAtOnceAndDropsWhatWaits) {
    const SoundHook hook = sound.hook();
    hook(at(SoundEventKind::TimerStarted, 0));
    fillBuffers(sound, 6);
    // Queued but not yet played, then dropped: a machine closed.
    hook(at(SoundEventKind::TimerStopped, 100 * millisecond));
    hook(at(SoundEventKind::TimerStarted, 100 * millisecond));
    sound.silence();
    const auto s = fillBuffers(sound, 8);
    EXPECT_GT(peakOf(s, 0, 20), 0) << "a fade, not a cut";
    EXPECT_EQ(peakOf(s, 72, s.size()), 0);
}

TEST_F(LiveSoundTest, HoldFadesOutAndResumesWhereItWas) {
    const SoundHook hook = sound.hook();
    hook(at(SoundEventKind::TimerStarted, 0));
    fillBuffers(sound, 6);
    sound.hold(true);
    auto s = fillBuffers(sound, 8);
    EXPECT_GT(peakOf(s, 0, 20), 0);
    EXPECT_EQ(peakOf(s, 72, s.size()), 0);
    sound.hold(false);
    s = fillBuffers(sound, 4);
    EXPECT_GT(peakOf(s, 100, s.size()), 14'000) << "the tone goes on";
}

TEST_F(LiveSoundTest, VolumeScalesTheSamples) {
    sound.setVolume(0.25F);
    sound.hook()(at(SoundEventKind::TimerStarted, 0));
    const auto s = fillBuffers(sound, 8);
    EXPECT_NEAR(peakOf(s, 2000, s.size()), 32767 / 8, 600);
}

// A worker pushing while the callback fills, as a machine and SDL do (for the thread
// sanitizer): every tone that was pushed comes out.
TEST_F(LiveSoundTest, WorkerAndCallbackRunTogether) {
    std::atomic<bool> done{false};
    std::thread worker([this, &done] {
        const SoundHook hook = sound.hook();
        const std::uint64_t start = elapsedNanoseconds();
        for (int i = 0; i < 40; ++i) {
            hook(at(SoundEventKind::TimerStarted, elapsedNanoseconds() - start));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            hook(at(SoundEventKind::TimerStopped, elapsedNanoseconds() - start));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        done.store(true);
    });
    std::int16_t peak = 0;
    std::vector<std::int16_t> buffer(512);
    while (!done.load()) {
        sound.fill(buffer);
        peak = std::max(peak, peakOf(buffer, 0, buffer.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    for (int i = 0; i < 10; ++i) {
        sound.fill(buffer);
        peak = std::max(peak, peakOf(buffer, 0, buffer.size()));
    }
    EXPECT_GT(peak, 5000);
}
} // namespace
