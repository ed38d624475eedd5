#pragma once
// What a machine tells a sound renderer. Events carry the machine's emulated time, so
// that the same program and keys give the same sound in a window or headless.

#include <array>
#include <cstdint>
#include <functional>

enum class SoundEventKind : std::uint8_t {
    // CHIP-8 family: the sound timer went from 0 to a count; `patterned` says whether the
    // XO-CHIP pattern plays instead of the buzzer.
    TimerStarted,
    // The sound timer reached 0 or was set to 0 (the XO-CHIP play position resets).
    TimerStopped,
    // XO-CHIP F002: the 16-byte pattern, copied at the instruction.
    PatternLoaded,
    // XO-CHIP Fx3A.
    PitchSet,
    // Chip-16: a tone replaces whatever plays.
    ToneStarted,
    // Chip-16 SND0.
    ToneStopped,
};

enum class ToneWaveform : std::uint8_t { Triangle = 0, Sawtooth = 1, Pulse = 2, Noise = 3 };

// A Chip-16 SNG setting: table indices for attack, decay and release, levels 0-15.
struct ToneEnvelope {
    std::uint8_t attack = 0;
    std::uint8_t decay = 0;
    std::uint8_t sustain = 0;
    std::uint8_t release = 0;
    std::uint8_t volume = 0;
    ToneWaveform waveform = ToneWaveform::Triangle;

    bool operator==(const ToneEnvelope&) const = default;
};

struct SoundEvent {
    SoundEventKind kind = SoundEventKind::TimerStopped;
    // Nanoseconds of emulated time since the machine started.
    std::uint64_t time = 0;
    bool patterned = false;
    std::array<std::uint8_t, 16> pattern{};
    std::uint8_t pitch = 64;
    // ToneStarted: Hz and milliseconds; `enveloped` false plays a plain pulse at full
    // volume (SND1-SND3).
    std::uint32_t frequency = 0;
    std::uint32_t durationMilliseconds = 0;
    bool enveloped = false;
    ToneEnvelope envelope{};

    bool operator==(const SoundEvent&) const = default;
};

// Called on the machine's worker thread; must not block.
using SoundHook = std::function<void(const SoundEvent&)>;
