#include "sound/sound_recording.h"

#include "sound/sound_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace {
std::uint64_t sampleAt(std::uint64_t time) {
    // 48 000 / 1 000 000 000 = 3 / 62 500.
    return time / 62'500 * 3 + time % 62'500 * 3 / 62'500;
}

// The old machine's sound, stopped at a fresh start, fades out over this many samples
// (its 1.5 ms fade and the filter's ring) beside the new one.
constexpr std::size_t fadeOutSamples = 256;

// Renders [from, to) of `samples`, mixing in what `fading` still sounds.
void renderSpan(SoundRenderer& renderer, SoundRenderer& fading, std::vector<float>& samples,
                std::uint64_t from, std::uint64_t to, std::uint64_t fadingUntil) {
    const std::span<float> part = std::span(samples).subspan(from, to - from);
    renderer.render(part);
    if (from >= fadingUntil) {
        return;
    }
    std::array<float, fadeOutSamples> tail{};
    const std::size_t count = std::min<std::uint64_t>(to, fadingUntil) - from;
    fading.render(std::span(tail).first(count));
    for (std::size_t i = 0; i < count; ++i) {
        part[i] += tail[i];
    }
}
} // namespace

SoundHook SoundRecording::hook() {
    return [this](const SoundEvent& event) {
        const std::scoped_lock lock(mutex_);
        events_.push_back(event);
    };
}

void SoundRecording::startFrom(std::uint64_t start) {
    const std::scoped_lock lock(mutex_);
    stretches_.back().start = start;
}

void SoundRecording::continueAfter(std::uint64_t end) {
    const std::scoped_lock lock(mutex_);
    stretches_.back().end = end;
    stretches_.push_back(Stretch{events_.size(), 0, 0});
}

std::vector<std::int16_t> SoundRecording::render(std::uint64_t end) const {
    const std::scoped_lock lock(mutex_);
    std::vector<SoundEvent> placed;
    placed.reserve(events_.size());
    std::vector<std::uint64_t> freshStarts;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < stretches_.size(); ++i) {
        const Stretch& stretch = stretches_[i];
        const bool last = i + 1 == stretches_.size();
        const std::uint64_t stretchEnd = std::max(stretch.start, last ? end : stretch.end);
        const std::size_t lastEvent = last ? events_.size() : stretches_[i + 1].firstEvent;
        if (i > 0) {
            freshStarts.push_back(offset);
        }
        for (std::size_t e = stretch.firstEvent; e < lastEvent; ++e) {
            // A restore reports the state's sound at its start; the machine's time never
            // runs back, but a time outside the stretch is kept inside it.
            SoundEvent event = events_[e];
            event.time = offset + std::clamp(event.time, stretch.start, stretchEnd) - stretch.start;
            placed.push_back(event);
        }
        offset += stretchEnd - stretch.start;
    }
    return renderSoundEvents(placed, offset, freshStarts);
}

std::vector<std::int16_t> renderSoundEvents(const std::vector<SoundEvent>& events,
                                            std::uint64_t end,
                                            const std::vector<std::uint64_t>& freshStarts) {
    const std::uint64_t total = sampleAt(end);
    std::vector<float> samples(total);
    SoundRenderer renderer;
    SoundRenderer fading;
    std::uint64_t fadingUntil = 0;
    std::uint64_t done = 0;
    auto renderUntil = [&](std::uint64_t at) {
        if (at > done) {
            renderSpan(renderer, fading, samples, done, at, fadingUntil);
            done = at;
        }
    };
    auto nextFresh = freshStarts.begin();
    auto startFreshUntil = [&](std::uint64_t time) {
        for (; nextFresh != freshStarts.end() && *nextFresh <= time; ++nextFresh) {
            renderUntil(std::min(sampleAt(*nextFresh), total));
            fading = renderer;
            SoundEvent stop;
            stop.kind = SoundEventKind::TimerStopped;
            fading.apply(stop);
            renderer.reset();
            fadingUntil = done + fadeOutSamples;
        }
    };
    for (const SoundEvent& event : events) {
        startFreshUntil(event.time);
        renderUntil(std::min(sampleAt(event.time), total));
        renderer.apply(event);
    }
    startFreshUntil(end);
    renderUntil(total);
    std::vector<std::int16_t> out(total);
    std::transform(samples.begin(), samples.end(), out.begin(), [](float value) {
        return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0F, 1.0F) * 32767.0F));
    });
    return out;
}
