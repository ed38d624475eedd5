#pragma once
// Where a headless run's sound goes: a recording for --wav, the audio device for
// --sound, or both.

#include "machine/machine.h"
#include "platform/sdl/sdl_audio_output.h"
#include "sound/live_sound.h"
#include "sound/sound_recording.h"
#include "tools/quorvix_run/run_options.h"

#include <memory>

class RunSound {
  public:
    // Opens the audio device for --sound (without one, a line on standard error).
    explicit RunSound(const RunOptions& options);
    ~RunSound();
    RunSound(const RunSound&) = delete;
    RunSound& operator=(const RunSound&) = delete;

    // For the machine, before its first start.
    SoundHook hook();
    // The machine, loaded (and perhaps restored from a state), is about to start.
    void startAt(const Machine& machine);
    // The stopped machine is about to start again from its beginning: its sound ends.
    void restart(const Machine& machine);
    const SoundRecording& recording() const { return recording_; }

  private:
    bool recordingOn_ = false;
    SoundRecording recording_;
    LiveSound live_;
    std::unique_ptr<SdlAudioOutput> output_;
};
