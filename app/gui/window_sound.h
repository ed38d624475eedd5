#pragma once
// The window's sound: the live renderer every machine the window starts reports to,
// and the audio device that plays it while Sound is on. GUI thread only; nothing here
// waits on audio but the device's closing, which waits for a callback that never
// waits itself.

#include "app/machine_control.h"
#include "platform/sdl/sdl_audio_output.h"
#include "sound/live_sound.h"

#include <memory>

class WindowSound {
  public:
    explicit WindowSound(MachineControl& control);
    ~WindowSound();
    WindowSound(const WindowSound&) = delete;
    WindowSound& operator=(const WindowSound&) = delete;

    // On: opens the audio device (without one, a console line and silence); off: closes
    // it. Sounds the running machine starts from then on are heard.
    void setOn(bool on);
    bool on() const { return on_; }
    // Whether a device plays (on, and one was found).
    bool playing() const { return output_ != nullptr; }
    void setVolumePercent(int percent);
    int volumePercent() const { return volumePercent_; }

  private:
    MachineControl& control_;
    LiveSound live_;
    std::unique_ptr<SdlAudioOutput> output_;
    bool on_ = false;
    int volumePercent_ = 100;
};
