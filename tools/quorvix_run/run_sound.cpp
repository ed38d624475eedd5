#include "tools/quorvix_run/run_sound.h"

RunSound::RunSound(const RunOptions& options) : recordingOn_(!options.wavPath.empty()) {
    if (options.sound) {
        live_.setListening(true);
        output_ = SdlAudioOutput::open("quorvix-run",
                                       [this](std::span<std::int16_t> out) { live_.fill(out); });
    }
}

RunSound::~RunSound() {
    output_.reset();
}

SoundHook RunSound::hook() {
    const bool playing = output_ != nullptr;
    if (recordingOn_ && playing) {
        return [record = recording_.hook(), play = live_.hook()](const SoundEvent& event) {
            record(event);
            play(event);
        };
    }
    if (recordingOn_) {
        return recording_.hook();
    }
    return playing ? live_.hook() : SoundHook{};
}

void RunSound::startAt(const Machine& machine) {
    recording_.startFrom(machine.emulatedNanoseconds());
}

void RunSound::restart(const Machine& machine) {
    recording_.continueAfter(machine.emulatedNanoseconds());
    live_.silence();
}
