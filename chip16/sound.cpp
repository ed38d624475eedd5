#include "chip16/sound.h"

#include "chip16/memory_access.h"

#include <cmath>

// The machine runs one instruction per microsecond.
std::uint64_t chip16EmulatedTime(const Chip16Machine& m) {
    constexpr double instructionsPerFrame = 1'000'000.0 / 60.0;
    const double instructions =
        static_cast<double>(m.framesCompleted) * instructionsPerFrame + m.cycles;
    return static_cast<std::uint64_t>(std::llround(instructions)) * 1000;
}

namespace {
void report(Chip16Machine& m, SoundEvent event) {
    event.time = chip16EmulatedTime(m);
    m.soundHook(event);
}

std::uint16_t durationOf(std::uint32_t word) {
    return static_cast<std::uint16_t>(word >> 16);
}
} // namespace

void reportChip16SoundState(Chip16Machine& m) {
    if (!m.soundHook) {
        return;
    }
    SoundEvent event;
    event.kind = SoundEventKind::ToneStopped;
    report(m, event);
}

void executeChip16Beep(Chip16Machine& m, std::uint32_t word) {
    if (!m.soundHook) {
        return;
    }
    SoundEvent event;
    const std::uint32_t opcode = word & 0xFF;
    if (opcode == 0x09) {
        event.kind = SoundEventKind::ToneStopped;
    } else {
        event.kind = SoundEventKind::ToneStarted;
        event.frequency = 500 * (opcode - 0x09);
        event.durationMilliseconds = durationOf(word);
    }
    report(m, event);
}

void setChip16ToneEnvelope(Chip16Machine& m, std::uint32_t word) {
    const auto ad = static_cast<std::uint8_t>(word >> 8);
    const auto sr = static_cast<std::uint8_t>(word >> 16);
    const auto vt = static_cast<std::uint8_t>(word >> 24);
    m.toneEnvelope.attack = ad >> 4;
    m.toneEnvelope.decay = ad & 0xF;
    m.toneEnvelope.sustain = sr >> 4;
    m.toneEnvelope.release = sr & 0xF;
    m.toneEnvelope.volume = vt >> 4;
    m.toneEnvelope.waveform = static_cast<ToneWaveform>(vt & 0x3);
}

void playChip16Tone(Chip16Machine& m, std::uint32_t word) {
    if (!m.soundHook) {
        return;
    }
    SoundEvent event;
    event.kind = SoundEventKind::ToneStarted;
    event.frequency = readChip16Word(m, m.R[(word >> 8) & 0xF]);
    event.durationMilliseconds = durationOf(word);
    event.enveloped = true;
    event.envelope = m.toneEnvelope;
    report(m, event);
}
