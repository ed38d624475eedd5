// The sound renderer: the frequency of every source by its zero crossings, the
// envelope's times and levels, the XO-CHIP pattern's bit order and play position, a
// Chip-16 tone replacing another, the fades at start and stop, and band-limiting.

#include "sound/sound_recording.h"
#include "sound/sound_renderer.h"
#include "sound/tone_envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr std::size_t rate = 48'000;
constexpr std::uint64_t millisecond = 1'000'000; // ns

std::vector<float> renderFor(SoundRenderer& renderer, std::size_t samples) {
    std::vector<float> out(samples);
    renderer.render(out);
    return out;
}

// Rising zero crossings per second over samples [from, to).
double hertzOf(const std::vector<float>& s, std::size_t from, std::size_t to) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        crossings += s[i - 1] < 0 && s[i] >= 0 ? 1 : 0;
    }
    return crossings * static_cast<double>(rate) / static_cast<double>(to - from);
}

// The middle of the magnitudes: a pulse's level, whatever the filter's overshoot at its
// edges.
float levelOf(const std::vector<float>& s, std::size_t from, std::size_t to) {
    std::vector<float> magnitudes;
    for (std::size_t i = from; i < to; ++i) {
        magnitudes.push_back(std::abs(s[i]));
    }
    std::nth_element(magnitudes.begin(), magnitudes.begin() + magnitudes.size() / 2,
                     magnitudes.end());
    return magnitudes[magnitudes.size() / 2];
}

float peakOf(const std::vector<float>& s, std::size_t from, std::size_t to) {
    float peak = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i) {
        peak = std::max(peak, std::abs(s[i]));
    }
    return peak;
}

double rmsOf(const std::vector<float>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        sum += double{s[i]} * s[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

SoundEvent timerStarted(bool patterned) {
    SoundEvent e;
    e.kind = SoundEventKind::TimerStarted;
    e.patterned = patterned;
    return e;
}

SoundEvent event(SoundEventKind kind) {
    SoundEvent e;
    e.kind = kind;
    return e;
}

SoundEvent patternOf(std::initializer_list<std::uint8_t> bytes) {
    SoundEvent e;
    e.kind = SoundEventKind::PatternLoaded;
    std::size_t i = 0;
    for (std::size_t n = 0; n < 16; ++n) {
        e.pattern[n] = *(bytes.begin() + i);
        i = (i + 1) % bytes.size();
    }
    return e;
}

SoundEvent pitchOf(std::uint8_t pitch) {
    SoundEvent e;
    e.kind = SoundEventKind::PitchSet;
    e.pitch = pitch;
    return e;
}

SoundEvent tone(std::uint32_t hertz, std::uint32_t milliseconds) {
    SoundEvent e;
    e.kind = SoundEventKind::ToneStarted;
    e.frequency = hertz;
    e.durationMilliseconds = milliseconds;
    return e;
}

SoundEvent envelopedTone(std::uint32_t hertz, std::uint32_t milliseconds, ToneEnvelope envelope) {
    SoundEvent e = tone(hertz, milliseconds);
    e.enveloped = true;
    e.envelope = envelope;
    return e;
}

TEST(SoundRendererTest, Chip8BuzzerIsA440HertzSquareAtHalfScale) {
    SoundRenderer renderer;
    renderer.apply(timerStarted(false));
    const auto s = renderFor(renderer, rate);
    EXPECT_NEAR(hertzOf(s, 1000, rate), 440, 1);
    EXPECT_NEAR(levelOf(s, 1000, rate), 0.5, 0.01);
    EXPECT_LT(peakOf(s, 0, rate), 0.6F) << "the filter's overshoot";
    // A square: most samples sit at the full level, not in between.
    const auto atLevel = std::count_if(
        s.begin() + 1000, s.end(), [](float v) { return std::abs(std::abs(v) - 0.5F) < 0.03F; });
    EXPECT_GT(atLevel, 40'000);
}

// A pattern of 0xFF, 0x00 bytes is 8 cycles per 128 bits, at 4000 x 2^((pitch - 64) / 48)
// bits per second.
TEST(SoundRendererTest, XoChipPatternFrequencyFollowsThePitch) {
    for (const auto& [pitch, hertz] :
         std::vector<std::pair<std::uint8_t, double>>{{64, 250.0}, {0, 99.21}, {255, 3942.65}}) {
        SoundRenderer renderer;
        renderer.apply(patternOf({0xFF, 0x00}));
        renderer.apply(pitchOf(pitch));
        renderer.apply(timerStarted(true));
        const auto s = renderFor(renderer, 2 * rate);
        EXPECT_NEAR(hertzOf(s, 0, 2 * rate), hertz, 1.0) << int{pitch};
    }
    // A pitch set while it sounds takes effect at once.
    SoundRenderer renderer;
    renderer.apply(patternOf({0xFF, 0x00}));
    renderer.apply(timerStarted(true));
    renderFor(renderer, rate / 2);
    renderer.apply(pitchOf(112)); // one octave up
    const auto s = renderFor(renderer, rate);
    EXPECT_NEAR(hertzOf(s, 0, rate), 500.0, 1.0);
}

TEST(SoundRendererTest, XoChipPatternIsSilentUntilLoadedAndConstantPatternsAreSilent) {
    SoundRenderer renderer;
    renderer.apply(timerStarted(true));
    EXPECT_EQ(peakOf(renderFor(renderer, rate / 10), 0, rate / 10), 0.0F) << "pattern zero";
    renderer.apply(patternOf({0xFF}));
    EXPECT_LT(peakOf(renderFor(renderer, rate / 10), 0, rate / 10), 1e-4F) << "all ones";
}

// At pitch 64 a bit lasts 12 samples and the pattern 1536. The one set bit shows as a
// pulse at the bit's place: most significant bit first.
TEST(SoundRendererTest, XoChipPatternPlaysItsMostSignificantBitFirst) {
    const auto peakAt = [](std::uint8_t firstByte) {
        SoundRenderer renderer;
        SoundEvent pattern = patternOf({0});
        pattern.pattern[0] = firstByte;
        renderer.apply(pattern);
        renderer.apply(timerStarted(true));
        const auto s = renderFor(renderer, 3072);
        // The second round, past the start's fade.
        return std::max_element(s.begin() + 1536, s.end()) - (s.begin() + 1536);
    };
    // Bit 0 of the pattern, then bit 7; the filter delays by about 8 samples.
    EXPECT_GE(peakAt(0x80), 6);
    EXPECT_LE(peakAt(0x80), 6 + 16);
    EXPECT_GE(peakAt(0x01), 7 * 12 + 6);
    EXPECT_LE(peakAt(0x01), 7 * 12 + 6 + 16);
    // The next byte follows the first.
    SoundRenderer renderer;
    SoundEvent pattern = patternOf({0});
    pattern.pattern[1] = 0x80;
    renderer.apply(pattern);
    renderer.apply(timerStarted(true));
    const auto s = renderFor(renderer, 3072);
    const auto at = std::max_element(s.begin() + 1536, s.end()) - (s.begin() + 1536);
    EXPECT_GE(at, 8 * 12 + 6);
    EXPECT_LE(at, 8 * 12 + 6 + 16);
}

// The timer reaching 0 puts the position back to the first bit: a sound started
// afresh is the same as the very first one, wherever the last one stopped.
TEST(SoundRendererTest, XoChipPositionResetsWhenTheTimerStops) {
    const SoundEvent pattern = patternOf({0xF0, 0x0F, 0x33, 0xAA, 0x01});
    SoundRenderer fresh;
    fresh.apply(pattern);
    fresh.apply(timerStarted(true));
    const auto first = renderFor(fresh, 2000);

    SoundRenderer renderer;
    renderer.apply(pattern);
    renderer.apply(timerStarted(true));
    renderFor(renderer, 700); // stops in the middle of the pattern
    renderer.apply(event(SoundEventKind::TimerStopped));
    renderFor(renderer, 300);
    renderer.apply(timerStarted(true));
    const auto again = renderFor(renderer, 2000);
    for (std::size_t i = 0; i < 2000; ++i) {
        ASSERT_NEAR(again[i], first[i], 1e-6F) << i;
    }
}

// At pitch 255 the bits run at about 63 kHz: alternating bits make a 31.5 kHz tone
// that a 48 kHz output cannot carry. It must vanish rather than fold back.
TEST(SoundRendererTest, XoChipHighestPitchDoesNotAlias) {
    SoundRenderer renderer;
    renderer.apply(patternOf({0x55}));
    renderer.apply(pitchOf(255));
    renderer.apply(timerStarted(true));
    const auto s = renderFor(renderer, rate / 2);
    EXPECT_LT(rmsOf(s, 1000, rate / 2), 0.005) << "a square at 0.5 has an RMS of 0.5";
}

TEST(SoundRendererTest, Chip16BeepsArePulsesAtFullVolumeForTheirTime) {
    for (const std::uint32_t hertz : {500u, 1000u, 1500u}) {
        SoundRenderer renderer;
        renderer.apply(tone(hertz, 250));
        const auto s = renderFor(renderer, rate / 2);
        EXPECT_NEAR(hertzOf(s, 1000, 12'000), hertz, 5.0) << hertz;
        EXPECT_NEAR(levelOf(s, 1000, 11'000), 0.5F, 0.01F) << hertz;
        // 250 ms = 12000 samples, then a 1.5 ms fade.
        EXPECT_GT(peakOf(s, 11'900, 12'000), 0.4F) << hertz;
        EXPECT_EQ(peakOf(s, 12'000 + 72 + 16, rate / 2), 0.0F) << hertz;
    }
}

TEST(SoundRendererTest, Chip16TonePlaysEveryWaveformAtItsFrequency) {
    for (const ToneWaveform waveform :
         {ToneWaveform::Triangle, ToneWaveform::Sawtooth, ToneWaveform::Pulse}) {
        SoundRenderer renderer;
        // Attack 2 ms, sustain at volume.
        renderer.apply(envelopedTone(440, 1000, ToneEnvelope{0, 0, 15, 0, 15, waveform}));
        const auto s = renderFor(renderer, rate);
        EXPECT_NEAR(hertzOf(s, 1000, rate), 440, 1.5) << static_cast<int>(waveform);
        EXPECT_NEAR(peakOf(s, 1000, rate), 0.53F, 0.05F) << static_cast<int>(waveform);
    }
    // Noise: neither silent nor louder than full volume.
    SoundRenderer noise;
    noise.apply(envelopedTone(4000, 1000, ToneEnvelope{0, 0, 15, 0, 15, ToneWaveform::Noise}));
    const auto s = renderFor(noise, rate / 2);
    EXPECT_GT(rmsOf(s, 1000, rate / 2), 0.1);
    EXPECT_LT(peakOf(s, 0, rate / 2), 0.6F);
}

TEST(SoundRendererTest, EnvelopeTimesAndLevels) {
    // Attack index 1 (8 ms), decay 2 (48 ms), sustain 7 (8/16), release 3 (72 ms),
    // volume 15 (16/16).
    const ToneEnvelope e{1, 2, 7, 3, 15, ToneWaveform::Pulse};
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 0, 200), 0.0);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 4, 200), 0.5);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 8, 200), 1.0);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 8 + 24, 200), 0.75);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 56, 200), 0.5);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 199, 200), 0.5);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 200 + 36, 200), 0.25);
    EXPECT_DOUBLE_EQ(envelopeLevel(e, 272, 200), 0.0);
    EXPECT_DOUBLE_EQ(envelopeEnd(e, 200), 272.0);
    // Level 0 is 1/16, not silence.
    EXPECT_DOUBLE_EQ(envelopeLevel(ToneEnvelope{0, 0, 0, 0, 0, ToneWaveform::Pulse}, 100, 200),
                     1.0 / 16);
    // A tone shorter than its attack releases from where the attack got to: attack 8
    // (100 ms) cut at 10 ms reaches a tenth of volume 7 (8/16).
    const ToneEnvelope slow{8, 0, 15, 0, 7, ToneWaveform::Pulse};
    EXPECT_DOUBLE_EQ(envelopeLevel(slow, 10, 10), 0.05);
    EXPECT_DOUBLE_EQ(envelopeLevel(slow, 13, 10), 0.025); // release 6 ms
    // The longest tables' ends.
    EXPECT_DOUBLE_EQ(
        envelopeLevel(ToneEnvelope{15, 15, 0, 15, 15, ToneWaveform::Pulse}, 4000, 100'000), 0.5);
    EXPECT_DOUBLE_EQ(envelopeEnd(ToneEnvelope{0, 0, 0, 15, 0, ToneWaveform::Pulse}, 0), 24'000.0);

    // Rendered: the pulse's height follows the envelope (1 kHz, peaks at 0.5 x level).
    SoundRenderer renderer;
    renderer.apply(envelopedTone(1000, 200, e));
    const auto s = renderFor(renderer, 300 * rate / 1000);
    const auto at = [&](double ms) {
        const auto i = static_cast<std::size_t>(ms * 48);
        return levelOf(s, i - 24, i + 24);
    };
    EXPECT_NEAR(at(9), 0.49, 0.02);
    EXPECT_NEAR(at(32), 0.375, 0.02);
    EXPECT_NEAR(at(150), 0.25, 0.01);
    EXPECT_NEAR(at(236), 0.125, 0.01);
    EXPECT_EQ(at(290), 0.0F);
}

// A new tone replaces the one playing, with its own length; SND0 stops it.
TEST(SoundRendererTest, Chip16NewSoundReplacesThePlayingOne) {
    SoundRenderer renderer;
    renderer.apply(tone(500, 1000));
    auto s = renderFor(renderer, rate / 5);
    renderer.apply(tone(1500, 300));
    const auto replaced = renderFor(renderer, rate / 2);
    EXPECT_NEAR(hertzOf(replaced, 200, 14'000), 1500, 6);
    // Over at 300 ms of the new tone, not at 1000 ms of the first.
    EXPECT_EQ(peakOf(replaced, 14'400 + 100, rate / 2), 0.0F);

    renderer.apply(tone(1000, 1000));
    renderFor(renderer, 1000);
    renderer.apply(event(SoundEventKind::ToneStopped));
    s = renderFor(renderer, 400);
    EXPECT_GT(peakOf(s, 0, 24), 0.2F) << "fades out";
    EXPECT_EQ(peakOf(s, 72 + 16, 400), 0.0F);

    // A 0 Hz tone plays nothing, and still ends the one playing.
    renderer.apply(tone(1000, 1000));
    renderFor(renderer, 1000);
    renderer.apply(tone(0, 1000));
    s = renderFor(renderer, 400);
    EXPECT_EQ(peakOf(s, 72 + 16, 400), 0.0F);
}

// No click: a start rises over more than 1 ms, a stop falls over more than 1 ms.
TEST(SoundRendererTest, StartsAndStopsFade) {
    SoundRenderer renderer;
    renderer.apply(timerStarted(false));
    auto s = renderFor(renderer, 2000);
    EXPECT_LT(peakOf(s, 0, 24), 0.25F) << "the first half millisecond";
    EXPECT_GT(peakOf(s, 100, 2000), 0.45F);
    renderer.apply(event(SoundEventKind::TimerStopped));
    s = renderFor(renderer, 400);
    EXPECT_GT(peakOf(s, 36, 48), 0.05F) << "still fading after 0.75 ms";
    EXPECT_EQ(peakOf(s, 72 + 16, 400), 0.0F);
    EXPECT_TRUE(renderer.quiet());
}

// By emulated time: events land on the sample their time falls on.
TEST(SoundRendererTest, RecordedEventsRenderAtTheirTimes) {
    SoundEvent start = timerStarted(false);
    start.time = 100 * millisecond;
    SoundEvent stop = event(SoundEventKind::TimerStopped);
    stop.time = 600 * millisecond;
    const auto samples = renderSoundEvents({start, stop}, 1000 * millisecond);
    ASSERT_EQ(samples.size(), rate);
    const auto first = std::find_if(samples.begin(), samples.end(), [](auto v) { return v != 0; });
    const auto last = std::find_if(samples.rbegin(), samples.rend(), [](auto v) { return v != 0; });
    EXPECT_NEAR(first - samples.begin(), 4800, 12);
    EXPECT_NEAR(samples.rend() - last, 28'800 + 72, 24);
}

SoundEvent at(SoundEvent e, std::uint64_t time) {
    e.time = time;
    return e;
}

// A machine started again (the exit instruction's Reset) is a fresh machine: the old
// buzzer ends and its pattern does not carry over. A machine restored from a state
// starts at the state's own time, which is where its part of the recording begins.
TEST(SoundRecordingTest, EachStartFollowsOnFromTheLast) {
    SoundRecording reset;
    const SoundHook hook = reset.hook();
    hook(at(patternOf({0xFF, 0x00}), 0));
    hook(at(timerStarted(true), 0));
    reset.continueAfter(500 * millisecond); // stopped with the timer still running
    reset.startFrom(0);
    hook(at(timerStarted(true), 100 * millisecond)); // no F002 since: the silent pattern
    auto samples = reset.render(500 * millisecond);
    ASSERT_EQ(samples.size(), rate);
    auto loud = [&](std::size_t from, std::size_t to) {
        return std::any_of(samples.begin() + static_cast<std::ptrdiff_t>(from),
                           samples.begin() + static_cast<std::ptrdiff_t>(to),
                           [](std::int16_t v) { return std::abs(v) > 1000; });
    };
    EXPECT_TRUE(loud(23'000, 24'000)) << "the first start's pattern";
    EXPECT_FALSE(loud(24'000 + 256, rate)) << "nothing after the second start";

    SoundRecording restored;
    const std::uint64_t stateTime = 3'600'000 * millisecond;
    restored.hook()(at(pitchOf(112), stateTime));
    restored.hook()(at(patternOf({0xFF, 0x00}), stateTime));
    restored.hook()(at(timerStarted(true), stateTime));
    restored.startFrom(stateTime);
    samples = restored.render(stateTime + 250 * millisecond);
    ASSERT_EQ(samples.size(), rate / 4) << "the run, not the hour before the state";
    EXPECT_TRUE(loud(100, 200)) << "sounding from the start";
}
} // namespace
