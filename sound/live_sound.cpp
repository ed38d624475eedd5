#include "sound/live_sound.h"

#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t rate = SoundRenderer::sampleRate;
// An event this much behind its place, or this much ahead of it, means the mapping
// no longer holds (a pause, a stalled callback, a machine started afresh).
constexpr std::int64_t lateLimit = 30 * rate / 1000;
constexpr std::int64_t earlyLimit = 80 * rate / 1000;
// Fades of pause and silence, in samples (1.5 ms).
constexpr int fadeSamples = 72;
constexpr std::size_t chunk = 256;

std::int16_t toSample(float value) {
    const float scaled = std::clamp(value, -1.0F, 1.0F) * 32767.0F;
    return static_cast<std::int16_t>(std::lround(scaled));
}
} // namespace

LiveSound::LiveSound() = default;

SoundHook LiveSound::hook() {
    return [this](const SoundEvent& event) { push(event); };
}

void LiveSound::push(const SoundEvent& event) {
    if (!listening()) {
        return;
    }
    Pending pending;
    pending.event = event;
    pending.seenAt = elapsedNanoseconds();
    pending.generation = generation_.load(std::memory_order_acquire);
    // A full ring means the callback has not run for a long time (no device, a stall):
    // the event is lost rather than the worker held up.
    ring_.push(pending);
}

void LiveSound::setListening(bool on) {
    listening_.store(on, std::memory_order_relaxed);
    if (!on) {
        silence();
    }
}

void LiveSound::silence() {
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

void LiveSound::hold(bool held) {
    held_.store(held, std::memory_order_release);
}

void LiveSound::setVolume(float volume) {
    volume_.store(std::clamp(volume, 0.0F, 1.0F), std::memory_order_relaxed);
}

std::int64_t LiveSound::positionOf(const Pending& pending, std::uint64_t now) {
    const auto time = static_cast<std::int64_t>(pending.event.time);
    if (anchored_) {
        const auto cursor = static_cast<std::int64_t>(
            anchorTime_ + samplesSinceAnchor_ * nanosecondsPerSecond / rate);
        const std::int64_t position = (time - cursor) * rate / nanosecondsPerSecond;
        if (position >= -lateLimit && position <= earlyLimit) {
            return position;
        }
    }
    // Fix the mapping: the event plays `lag` after the hook saw it.
    const auto age = static_cast<std::int64_t>(now > pending.seenAt ? now - pending.seenAt : 0);
    const std::int64_t delay = static_cast<std::int64_t>(lagNanoseconds) - age;
    const std::int64_t position = std::max<std::int64_t>(0, delay * rate / nanosecondsPerSecond);
    anchored_ = true;
    samplesSinceAnchor_ = 0;
    anchorTime_ = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, time - position * nanosecondsPerSecond / rate));
    return position;
}

void LiveSound::renderInto(std::span<std::int16_t> out) {
    const float volume = volume_.load(std::memory_order_relaxed);
    std::array<float, chunk> buffer{};
    while (!out.empty()) {
        const std::size_t count = std::min(out.size(), chunk);
        renderer_.render(std::span(buffer.data(), count));
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = toSample(buffer[i] * volume);
        }
        samplesSinceAnchor_ += count;
        out = out.subspan(count);
    }
}

// What still sounds fades over 1.5 ms; then a fresh start.
void LiveSound::fadeOutAndReset(std::span<std::int16_t> out) {
    const std::size_t count = std::min<std::size_t>(out.size(), fadeSamples);
    renderInto(out.first(count));
    for (std::size_t i = 0; i < count; ++i) {
        const float gain = holdGain_ * (1.0F - static_cast<float>(i + 1) / fadeSamples);
        out[i] = static_cast<std::int16_t>(std::lround(out[i] * gain));
    }
    renderer_.reset();
    anchored_ = false;
}

void LiveSound::fill(std::span<std::int16_t> out) {
    std::fill(out.begin(), out.end(), std::int16_t{0});
    const std::uint32_t generation = generation_.load(std::memory_order_acquire);
    std::size_t done = 0;
    if (generation != playedGeneration_) {
        playedGeneration_ = generation;
        fadeOutAndReset(out);
        done = std::min<std::size_t>(out.size(), fadeSamples);
    }

    // Held: fade out, then stand still (no events taken, no time passes).
    if (held_.load(std::memory_order_acquire) || holdGain_ < 1.0F) {
        const bool held = held_.load(std::memory_order_acquire);
        if (held && holdGain_ == 0.0F) {
            return;
        }
        for (; done < out.size(); ++done) {
            holdGain_ = held ? std::max(0.0F, holdGain_ - 1.0F / fadeSamples)
                             : std::min(1.0F, holdGain_ + 1.0F / fadeSamples);
            renderInto(out.subspan(done, 1));
            out[done] = static_cast<std::int16_t>(std::lround(out[done] * holdGain_));
            if (holdGain_ == 0.0F || holdGain_ == 1.0F) {
                ++done;
                break;
            }
        }
        if (held) {
            return;
        }
    }

    const std::uint64_t now = elapsedNanoseconds();
    while (done < out.size()) {
        const Pending* pending = ring_.front();
        if (pending != nullptr && pending->generation != playedGeneration_) {
            ring_.pop(); // from a machine that was closed or reset since
            continue;
        }
        std::size_t until = out.size();
        if (pending != nullptr) {
            const std::int64_t position = positionOf(*pending, now);
            const auto at = static_cast<std::int64_t>(done) + position;
            if (position <= 0) {
                renderer_.apply(pending->event);
                ring_.pop();
                continue;
            }
            until = static_cast<std::size_t>(
                std::min<std::int64_t>(at, static_cast<std::int64_t>(out.size())));
        }
        renderInto(out.subspan(done, until - done));
        done = until;
        if (pending != nullptr && done < out.size()) {
            renderer_.apply(pending->event);
            ring_.pop();
        }
    }
}
