#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmo::tuning {

// Forward discrete Fourier transform of real samples, no scaling and no
// window. The samples are taken in pairs as one complex sequence of half the
// length, transformed by radix-4 passes (one radix-8 or radix-2 pass where
// the length asks for it) that keep their output in order, and the two
// halves are then separated. The tables are built once per length; transform() makes no
// trigonometric call.
//
// Output layout for length N: f[0 .. N/2] are the real parts of coefficients
// 0 .. N/2 (f[0] the sum of the samples, f[N/2] the alternating sum), and
// f[N/2 + k] for k = 1 .. N/2 - 1 is minus the imaginary part of coefficient
// k, with X(k) = sum of x(n) e^(-2 pi i k n / N).
class RealFft {
 public:
  // Throws std::invalid_argument unless length is a power of two (1 included).
  explicit RealFft(std::size_t length);

  std::size_t length() const { return n_; }

  // x and f hold length() values each and must not overlap.
  void transform(std::span<const float> x, std::span<float> f);

 private:
  // One radix-4 pass over sub-sequences of length 4m spaced by stride.
  struct Pass {
    std::size_t m;
    std::size_t stride;
    std::size_t twiddles;  // offset of the pass's w, w^2, w^3 (m each, re and im) in tw_
  };

  std::size_t n_;
  std::size_t half_;      // the complex length N/2
  std::vector<Pass> passes_;
  // N/2 an odd power of two: a last pass of two, or of eight in place of the
  // last pass of four.
  enum class LastPass { None, Radix2, Radix8 };
  LastPass last_ = LastPass::None;
  std::vector<float> tw_;     // per pass: w1 re, w1 im, w2 re, w2 im, w3 re, w3 im
  std::vector<float> split_re_, split_im_;  // e^(-2 pi i k / N), k = 0 .. N/4
  std::vector<float> a_re_, a_im_, b_re_, b_im_;
};

}  // namespace velmo::tuning
