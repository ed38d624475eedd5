#pragma once
// The low-pass filter and decimation from the renderer's oversampled rate down to the
// output rate: a windowed-sinc FIR that removes everything an output sample could not
// carry, so that tones far above the output's Nyquist frequency (an XO-CHIP pattern at
// its highest pitch runs at about 63 kHz) fade out instead of folding back as noise.

#include <array>
#include <cstddef>

class Decimator {
  public:
    static constexpr std::size_t factor = 4;
    static constexpr std::size_t taps = 64;

    Decimator();
    // Takes `factor` oversampled values and gives one output sample.
    float push(const float* oversampled);
    // Forgets the past input (a silent start).
    void clear();
    // True when the last `taps` inputs were all zero: the output is zero as well.
    bool settled() const { return zeroRun_ >= taps; }

  private:
    std::array<float, taps> coefficients_{};
    // The last `taps` inputs, twice over, so that a window of them is contiguous.
    std::array<float, 2 * taps> history_{};
    std::size_t next_ = 0;
    std::size_t zeroRun_ = taps;
};
