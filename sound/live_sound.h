#pragma once
// Sound as it plays: the machine's hook puts its events into a lock-free ring, and the
// audio callback takes them out and renders them into the samples it asks for. Neither
// side ever waits for the other, so no emulation thread and no GUI thread waits on
// audio.
//
// The callback places each event by the machine's emulated time, a fixed lag behind the
// emulation (the first event fixes how emulated time maps onto the output's samples;
// an event far off that mapping, after a pause or a stall, fixes it again). Tones keep
// their exact lengths and spacing that way, whatever the callback's rhythm.

#include "machine/sound_event.h"
#include "sound/sound_renderer.h"
#include "sound/spsc_ring.h"

#include <atomic>
#include <cstdint>
#include <span>

class LiveSound {
  public:
    // How far the samples trail the emulation: one callback period of 512 frames at
    // 48 kHz and room for the callback's own lateness.
    static constexpr std::uint64_t lagNanoseconds = 16'000'000;

    LiveSound();

    // For a machine about to start. Called on its worker: pushes, never waits; while not
    // listening it does nothing.
    SoundHook hook();
    // Whether the events are taken (Sound on). Any thread.
    void setListening(bool on);
    bool listening() const { return listening_.load(std::memory_order_relaxed); }
    // Close, Reset: the sound stops at once (a 1.5 ms fade) and the events not yet
    // played are dropped. Any thread; call it once the old machine has stopped.
    void silence();
    // Pause: the sound fades out at once and everything stands still until released.
    void hold(bool held);
    // 0 to 1 of the renderer's level. Any thread.
    void setVolume(float volume);

    // The audio callback: the next samples. Never waits.
    void fill(std::span<std::int16_t> out);

  private:
    struct Pending {
        SoundEvent event;
        // When the hook saw it (nanoseconds since program start).
        std::uint64_t seenAt = 0;
        std::uint32_t generation = 0;
    };

    void push(const SoundEvent& event);
    // Where in the buffer the event belongs, in samples from the buffer's start
    // (negative: already past).
    std::int64_t positionOf(const Pending& pending, std::uint64_t now);
    void renderInto(std::span<std::int16_t> out);
    void fadeOutAndReset(std::span<std::int16_t> out);

    SpscRing<Pending, 1024> ring_;
    std::atomic<bool> listening_{false};
    std::atomic<std::uint32_t> generation_{0};
    std::atomic<bool> held_{false};
    std::atomic<float> volume_{1.0F};

    // The callback's own.
    SoundRenderer renderer_;
    std::uint32_t playedGeneration_ = 0;
    bool anchored_ = false;
    // Emulated time at the anchor, and output samples rendered since.
    std::uint64_t anchorTime_ = 0;
    std::uint64_t samplesSinceAnchor_ = 0;
    // The pause fade: 1 playing, 0 held.
    float holdGain_ = 1.0F;
};
