#include "sound/sound_recording.h"

#include "sound/sound_renderer.h"

#include <algorithm>
#include <cmath>

namespace {
std::uint64_t sampleAt(std::uint64_t time) {
    // 48 000 / 1 000 000 000 = 3 / 62 500.
    return time / 62'500 * 3 + time % 62'500 * 3 / 62'500;
}
} // namespace

SoundHook SoundRecording::hook() {
    return [this](const SoundEvent& event) {
        const std::scoped_lock lock(mutex_);
        SoundEvent shifted = event;
        shifted.time += base_;
        events_.push_back(shifted);
    };
}

void SoundRecording::continueAfter(std::uint64_t previousEnd) {
    const std::scoped_lock lock(mutex_);
    base_ += previousEnd;
}

std::vector<std::int16_t> SoundRecording::render(std::uint64_t end) const {
    const std::scoped_lock lock(mutex_);
    return renderSoundEvents(events_, end + base_);
}

std::vector<std::int16_t> renderSoundEvents(const std::vector<SoundEvent>& events,
                                            std::uint64_t end) {
    const std::uint64_t total = sampleAt(end);
    std::vector<float> samples(total);
    SoundRenderer renderer;
    std::uint64_t done = 0;
    for (const SoundEvent& event : events) {
        const std::uint64_t at = std::min(sampleAt(event.time), total);
        if (at > done) {
            renderer.render(std::span(samples).subspan(done, at - done));
            done = at;
        }
        renderer.apply(event);
    }
    renderer.render(std::span(samples).subspan(done));
    std::vector<std::int16_t> out(total);
    std::transform(samples.begin(), samples.end(), out.begin(), [](float value) {
        return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0F, 1.0F) * 32767.0F));
    });
    return out;
}
