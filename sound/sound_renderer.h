#pragma once
// Turns a machine's sound events into 48 kHz mono samples. Deterministic: the same
// events at the same sample positions give the same samples. One voice sounds at a
// time; a voice that a new one replaces, or that stops, fades out over 1.5 ms (and a
// new one fades in), so no start or end clicks louder than the tone.
//
// CHIP-8: a 440 Hz square wave while the sound timer runs; XO-CHIP plays its 128-bit
// pattern instead, most significant bit first, at 4000 x 2^((pitch - 64) / 48) bits per
// second, from its first bit at every start. Chip-16: SND1-SND3 a plain pulse wave at
// full volume, SNP a tone of four waveforms through the envelope.

#include "machine/sound_event.h"
#include "sound/decimator.h"

#include <array>
#include <cstdint>
#include <span>

class SoundRenderer {
  public:
    static constexpr std::uint32_t sampleRate = 48'000;
    // Full volume, as a share of the output's full scale: room for the filter's ripple.
    static constexpr float fullVolume = 0.5F;

    SoundRenderer();

    // Takes effect from the next rendered sample.
    void apply(const SoundEvent& event);
    // The next samples, each about -0.55 to 0.55.
    void render(std::span<float> out);
    // Silent at once, with a fresh machine's pattern and pitch.
    void reset();
    // Nothing sounds and nothing is left in the filter: render() gives zeros.
    bool quiet() const;

  private:
    enum class Source : std::uint8_t { Square, Pattern, Tone };
    struct Voice {
        bool active = false;
        Source source = Source::Square;
        ToneWaveform waveform = ToneWaveform::Pulse;
        bool enveloped = false;
        ToneEnvelope envelope{};
        // Cycles (or pattern bits) per oversampled step, and the position in them.
        double step = 0;
        double phase = 0;
        // The fade that avoids clicks, 0 to 1, and where it heads.
        float gate = 0;
        float gateTarget = 0;
        // Output samples since the start; a Chip-16 tone's length in output samples.
        std::uint64_t age = 0;
        double durationMilliseconds = 0;
        std::uint32_t noise = 1;
        float noiseLevel = 0;
    };

    void start(const Voice& voice);
    void stopCurrent();
    float gainOf(Voice& voice);
    float valueOf(Voice& voice);
    void renderSample(float& out);

    // [0] the voice that plays, [1] one fading out after being replaced.
    std::array<Voice, 2> voices_{};
    std::array<std::uint8_t, 16> pattern_{};
    // The pattern's average level, taken off so that a constant pattern is silence.
    float patternMean_ = -1.0F;
    std::uint8_t pitch_ = 64;
    Decimator decimator_;
};
