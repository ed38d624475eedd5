#include "sound/tone_envelope.h"

#include <array>

namespace {
constexpr std::array<double, 16> attackMilliseconds = {2,   8,   16,  24,  38,   56,   68,   80,
                                                       100, 250, 500, 800, 1000, 3000, 5000, 8000};
// Decay and release share one table.
constexpr std::array<double, 16> fallMilliseconds = {
    6, 24, 48, 72, 114, 168, 204, 240, 300, 750, 1500, 2400, 3000, 9000, 15000, 24000};

// Level n of the 16 steps is (n + 1) / 16 of full scale: step 0 is still audible.
double levelOf(std::uint8_t step) {
    return static_cast<double>((step & 0xF) + 1) / 16.0;
}

// The attack and decay part, before the tone's time is up.
double heldLevel(const ToneEnvelope& envelope, double age) {
    const double attack = attackMilliseconds[envelope.attack & 0xF];
    const double decay = fallMilliseconds[envelope.decay & 0xF];
    const double volume = levelOf(envelope.volume);
    const double sustain = levelOf(envelope.sustain);
    if (age < attack) {
        return volume * age / attack;
    }
    if (age < attack + decay) {
        return volume + (sustain - volume) * (age - attack) / decay;
    }
    return sustain;
}
} // namespace

double envelopeLevel(const ToneEnvelope& envelope, double age, double durationMilliseconds) {
    if (age < 0) {
        return 0;
    }
    if (age < durationMilliseconds) {
        return heldLevel(envelope, age);
    }
    const double release = fallMilliseconds[envelope.release & 0xF];
    const double sinceEnd = age - durationMilliseconds;
    if (sinceEnd >= release) {
        return 0;
    }
    return heldLevel(envelope, durationMilliseconds) * (1.0 - sinceEnd / release);
}

double envelopeEnd(const ToneEnvelope& envelope, double durationMilliseconds) {
    return durationMilliseconds + fallMilliseconds[envelope.release & 0xF];
}
