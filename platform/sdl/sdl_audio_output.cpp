#include "platform/sdl/sdl_audio_output.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>

namespace {
std::atomic<bool> missingDeviceReported{false};

void reportMissingDevice(const char* program, const char* reason) {
    if (!missingDeviceReported.exchange(true)) {
        std::fprintf(stderr, "%s: no audio device (%s); running without sound\n", program, reason);
    }
}
} // namespace

std::unique_ptr<SdlAudioOutput> SdlAudioOutput::open(const char* program, Fill fill) {
    // The program keeps its own handling of Ctrl+C and termination.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reportMissingDevice(program, SDL_GetError());
        return nullptr;
    }
    std::unique_ptr<SdlAudioOutput> output(new SdlAudioOutput(std::move(fill)));
    SDL_AudioSpec wanted{};
    wanted.freq = 48'000;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = bufferFrames;
    wanted.callback = &SdlAudioOutput::callback;
    wanted.userdata = output.get();
    SDL_AudioSpec granted{};
    // SDL converts if the device wants another rate or format; only the buffer's size
    // may differ.
    output->device_ =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &granted, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (output->device_ == 0) {
        reportMissingDevice(program, SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->grantedFrames_ = granted.samples;
    SDL_PauseAudioDevice(output->device_, 0);
    return output;
}

SdlAudioOutput::~SdlAudioOutput() {
    // Waits for a callback in progress, which never waits itself.
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::string SdlAudioOutput::driver() const {
    const char* name = SDL_GetCurrentAudioDriver();
    return name != nullptr ? name : "";
}

void SdlAudioOutput::callback(void* self, std::uint8_t* stream, int length) {
    auto* output = static_cast<SdlAudioOutput*>(self);
    // The stream is the device's buffer of 16-bit samples, suitably aligned by SDL.
    auto* samples = reinterpret_cast<std::int16_t*>(stream);
    output->fill_(std::span(samples, static_cast<std::size_t>(length) / 2));
}
