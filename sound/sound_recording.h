#pragma once
// A run's sound events kept for rendering afterwards, by emulated time: the headless
// runner's WAV file. The hook takes a short lock of its own, which only the end of the
// run contends for.
//
// A run may start the machine more than once (the exit instruction's Reset): each start
// is a stretch of the recording that follows on from the one before, from a fresh
// machine's silence.

#include "machine/sound_event.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class SoundRecording {
  public:
    // Called on the machine's worker.
    SoundHook hook();
    // The machine starts at emulated time `start` (ns): 0 from a load, a restored
    // state's own time. Its events are placed from that moment of the recording on,
    // those it reported while being restored included.
    void startFrom(std::uint64_t start);
    // The machine stopped at emulated time `end` (ns), to start again: what it reports
    // next follows on from there.
    void continueAfter(std::uint64_t end);
    // The samples of the events up to the last start's emulated time `end` (ns), 48 kHz.
    std::vector<std::int16_t> render(std::uint64_t end) const;

  private:
    // One start of the machine: its events from `firstEvent` on, its emulated time.
    struct Stretch {
        std::size_t firstEvent = 0;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
    };

    mutable std::mutex mutex_;
    std::vector<SoundEvent> events_;
    std::vector<Stretch> stretches_{Stretch{}};
};

// Renders time-stamped events (ns) into 48 kHz samples up to `end`, each event at the
// sample its time falls on. At each of `freshStarts` (ns, ascending) the sound so far
// fades out and the renderer starts afresh, as a new machine would find it.
std::vector<std::int16_t> renderSoundEvents(const std::vector<SoundEvent>& events,
                                            std::uint64_t end,
                                            const std::vector<std::uint64_t>& freshStarts = {});
