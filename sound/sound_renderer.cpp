#include "sound/sound_renderer.h"

#include "sound/tone_envelope.h"

#include <bit>
#include <cmath>

namespace {
constexpr double oversampledRate = SoundRenderer::sampleRate * double{Decimator::factor};
constexpr double buzzerHertz = 440.0;
// Every fade in or out lasts this long (72 output samples).
constexpr float gateStep = 1.0F / 72.0F;
constexpr double millisecondsPerSample = 1000.0 / SoundRenderer::sampleRate;

double patternBitsPerSecond(std::uint8_t pitch) {
    return 4000.0 * std::exp2((static_cast<double>(pitch) - 64.0) / 48.0);
}

bool patternBit(const std::array<std::uint8_t, 16>& pattern, unsigned bit) {
    return ((pattern[(bit / 8) & 15] >> (7 - bit % 8)) & 1) != 0;
}

std::uint32_t nextNoise(std::uint32_t x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

float noiseLevelOf(std::uint32_t x) {
    return static_cast<float>(x) / 2147483648.0F - 1.0F;
}
} // namespace

SoundRenderer::SoundRenderer() {
    reset();
}

void SoundRenderer::reset() {
    voices_ = {};
    pattern_ = {};
    patternMean_ = -1.0F;
    pitch_ = 64;
    decimator_.clear();
}

bool SoundRenderer::quiet() const {
    return !voices_[0].active && !voices_[1].active && decimator_.settled();
}

void SoundRenderer::start(const Voice& voice) {
    if (voices_[0].active) {
        voices_[1] = voices_[0];
        voices_[1].gateTarget = 0;
    }
    voices_[0] = voice;
    voices_[0].active = true;
    voices_[0].gate = 0;
    voices_[0].gateTarget = 1;
}

void SoundRenderer::stopCurrent() {
    voices_[0].gateTarget = 0;
}

void SoundRenderer::apply(const SoundEvent& event) {
    switch (event.kind) {
    case SoundEventKind::TimerStarted: {
        Voice voice;
        if (event.patterned) {
            voice.source = Source::Pattern;
            voice.step = patternBitsPerSecond(pitch_) / oversampledRate;
        } else {
            voice.source = Source::Square;
            voice.step = buzzerHertz / oversampledRate;
        }
        start(voice);
        break;
    }
    case SoundEventKind::TimerStopped: stopCurrent(); break;
    case SoundEventKind::PatternLoaded: {
        pattern_ = event.pattern;
        int ones = 0;
        for (const std::uint8_t byte : pattern_) {
            ones += std::popcount(byte);
        }
        patternMean_ = static_cast<float>(ones - (128 - ones)) / 128.0F;
        break;
    }
    case SoundEventKind::PitchSet:
        pitch_ = event.pitch;
        for (Voice& voice : voices_) {
            if (voice.source == Source::Pattern) {
                voice.step = patternBitsPerSecond(pitch_) / oversampledRate;
            }
        }
        break;
    case SoundEventKind::ToneStarted: {
        if (event.frequency == 0) {
            stopCurrent(); // nothing to hear, but it still replaces what played
            break;
        }
        Voice voice;
        voice.source = Source::Tone;
        voice.enveloped = event.enveloped;
        voice.envelope = event.envelope;
        voice.waveform = event.enveloped ? event.envelope.waveform : ToneWaveform::Pulse;
        voice.step = event.frequency / oversampledRate;
        voice.durationMilliseconds = event.durationMilliseconds;
        voice.noise = nextNoise(1);
        voice.noiseLevel = noiseLevelOf(voice.noise);
        start(voice);
        break;
    }
    case SoundEventKind::ToneStopped: stopCurrent(); break;
    }
}

// The voice's level for the next output sample: the fade times the envelope. Ends the
// voice when both have run out.
float SoundRenderer::gainOf(Voice& voice) {
    const double age = static_cast<double>(voice.age) * millisecondsPerSample;
    if (voice.source == Source::Tone && age >= voice.durationMilliseconds) {
        if (!voice.enveloped || age >= envelopeEnd(voice.envelope, voice.durationMilliseconds)) {
            voice.gateTarget = 0;
        }
    }
    if (voice.gate < voice.gateTarget) {
        voice.gate = std::min(voice.gateTarget, voice.gate + gateStep);
    } else if (voice.gate > voice.gateTarget) {
        voice.gate = std::max(voice.gateTarget, voice.gate - gateStep);
        if (voice.gate == 0) {
            voice.active = false;
            return 0;
        }
    }
    ++voice.age;
    float gain = voice.gate;
    if (voice.enveloped) {
        gain *= static_cast<float>(envelopeLevel(voice.envelope, age, voice.durationMilliseconds));
    }
    return gain;
}

// The waveform's value over the next oversampled step, -1 to 1.
float SoundRenderer::valueOf(Voice& voice) {
    const double from = voice.phase;
    double to = from + voice.step;
    float value = 0;
    switch (voice.source) {
    case Source::Pattern: {
        // The step's average over the bits it covers (at most two: the highest pitch is
        // a third of a bit per step), so that a bit edge inside a step is not lost.
        const auto level = [this](unsigned bit) {
            return (patternBit(pattern_, bit) ? 1.0F : -1.0F) - patternMean_;
        };
        const double edge = std::floor(from) + 1;
        const auto bit = static_cast<unsigned>(from);
        if (to <= edge || voice.step <= 0) {
            value = level(bit);
        } else {
            const auto before = static_cast<float>((edge - from) / voice.step);
            value = before * level(bit) + (1.0F - before) * level(bit + 1);
        }
        if (to >= 128) {
            to -= 128;
        }
        voice.phase = to;
        return value;
    }
    case Source::Square: value = from < 0.5 ? 1.0F : -1.0F; break;
    case Source::Tone:
        switch (voice.waveform) {
        case ToneWaveform::Triangle:
            value = static_cast<float>(1.0 - 4.0 * std::abs(from - 0.5));
            break;
        case ToneWaveform::Sawtooth: value = static_cast<float>(2.0 * from - 1.0); break;
        case ToneWaveform::Pulse: value = from < 0.5 ? 1.0F : -1.0F; break;
        case ToneWaveform::Noise:
            // A new random level every half cycle.
            if ((from < 0.5 && to >= 0.5) || to >= 1) {
                voice.noise = nextNoise(voice.noise);
                voice.noiseLevel = noiseLevelOf(voice.noise);
            }
            value = voice.noiseLevel;
            break;
        }
        break;
    }
    voice.phase = to - std::floor(to);
    return value;
}

void SoundRenderer::renderSample(float& out) {
    std::array<float, Decimator::factor> oversampled{};
    for (Voice& voice : voices_) {
        if (!voice.active) {
            continue;
        }
        const float gain = gainOf(voice) * fullVolume;
        if (!voice.active) {
            continue;
        }
        for (float& value : oversampled) {
            value += gain * valueOf(voice);
        }
    }
    out = decimator_.push(oversampled.data());
}

void SoundRenderer::render(std::span<float> out) {
    for (float& sample : out) {
        if (quiet()) {
            sample = 0;
        } else {
            renderSample(sample);
        }
    }
}
