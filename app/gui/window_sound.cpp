#include "app/gui/window_sound.h"

WindowSound::WindowSound(MachineControl& control) : control_(control) {
    control_.setSound(&live_);
}

WindowSound::~WindowSound() {
    setOn(false);
    control_.setSound(nullptr);
}

void WindowSound::setOn(bool on) {
    on_ = on;
    if (on && !output_) {
        output_ = SdlAudioOutput::open("quorvix",
                                       [this](std::span<std::int16_t> out) { live_.fill(out); });
    } else if (!on) {
        output_.reset();
    }
    // Without a device nobody would take the events out.
    live_.setListening(output_ != nullptr);
}

void WindowSound::setVolumePercent(int percent) {
    volumePercent_ = percent;
    live_.setVolume(static_cast<float>(percent) / 100.0F);
}
