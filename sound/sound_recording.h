#pragma once
// A run's sound events kept for rendering afterwards, by emulated time: the headless
// runner's WAV file. The hook takes a short lock of its own, which only the end of the
// run contends for.

#include "machine/sound_event.h"

#include <cstdint>
#include <mutex>
#include <vector>

class SoundRecording {
  public:
    // Called on the machine's worker.
    SoundHook hook();
    // A machine started afresh (a reset) after the previous one ran for `previousEnd`
    // ns of emulated time: its events follow on from there.
    void continueAfter(std::uint64_t previousEnd);
    // The samples of the events up to emulated time `end` (ns), 48 kHz.
    std::vector<std::int16_t> render(std::uint64_t end) const;

  private:
    mutable std::mutex mutex_;
    std::vector<SoundEvent> events_;
    std::uint64_t base_ = 0;
};

// Renders time-stamped events (ns) into 48 kHz samples up to `end`, each event at the
// sample its time falls on.
std::vector<std::int16_t> renderSoundEvents(const std::vector<SoundEvent>& events,
                                            std::uint64_t end);
