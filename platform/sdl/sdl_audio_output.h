#pragma once
// Sound output through SDL2's audio subsystem: 48 kHz, 16-bit mono, the device's
// callback thread asks `fill` for each buffer. The callback must not wait for anything.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

class SdlAudioOutput {
  public:
    using Fill = std::function<void(std::span<std::int16_t>)>;
    // Frames per callback: 512 at 48 kHz is 10.7 ms.
    static constexpr std::uint16_t bufferFrames = 512;

    // The default output device, playing at once; null when there is none, after one
    // line on standard error ("<program>: no audio device (...); running without
    // sound"), which a process writes only the first time.
    static std::unique_ptr<SdlAudioOutput> open(const char* program, Fill fill);
    ~SdlAudioOutput();
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // The frames per callback the device granted.
    std::uint16_t grantedFrames() const { return grantedFrames_; }
    // The SDL audio driver in use ("pulseaudio", "alsa", "disk", "dummy", ...).
    std::string driver() const;

  private:
    SdlAudioOutput(Fill fill) : fill_(std::move(fill)) {}
    static void callback(void* self, std::uint8_t* stream, int length);

    Fill fill_;
    std::uint32_t device_ = 0;
    std::uint16_t grantedFrames_ = 0;
};
