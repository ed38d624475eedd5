#include "sound/decimator.h"

#include <cmath>
#include <numbers>

namespace {
// Of the oversampled rate (4 x 48 kHz): 15 kHz, so that with the Blackman window's
// transition band everything above 24 kHz is at least 70 dB down.
constexpr double cutoff = 15'000.0 / 192'000.0;
} // namespace

Decimator::Decimator() {
    double sum = 0;
    const double middle = (taps - 1) / 2.0;
    for (std::size_t i = 0; i < taps; ++i) {
        const double x = static_cast<double>(i) - middle;
        const double sinc = std::sin(2 * std::numbers::pi * cutoff * x) / (std::numbers::pi * x);
        const double phase = 2 * std::numbers::pi * static_cast<double>(i) / (taps - 1);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        const double value = sinc * window;
        coefficients_[i] = static_cast<float>(value);
        sum += value;
    }
    // A held level passes unchanged.
    for (float& c : coefficients_) {
        c = static_cast<float>(c / sum);
    }
}

float Decimator::push(const float* oversampled) {
    for (std::size_t i = 0; i < factor; ++i) {
        const float value = oversampled[i];
        history_[next_] = value;
        history_[next_ + taps] = value;
        next_ = (next_ + 1) % taps;
        zeroRun_ = value == 0.0F ? zeroRun_ + 1 : 0;
    }
    // history_[next_ .. next_ + taps) holds the inputs oldest first.
    const float* window = &history_[next_];
    float out = 0;
    for (std::size_t i = 0; i < taps; ++i) {
        out += coefficients_[i] * window[i];
    }
    return out;
}

void Decimator::clear() {
    history_.fill(0);
    zeroRun_ = taps;
}
