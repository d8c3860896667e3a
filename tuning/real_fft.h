#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmo::tuning {

// Forward discrete Fourier transform of real samples, radix 2, no scaling and
// no window. The tables are built once per length; transform() makes no
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
  void first_passes(const float* x, float* d) const;

  std::size_t n_;
  int bits_;
  std::vector<uint32_t> bit_reversed_;
  // Per level L (3 .. bits - 1): cos and sin of i pi / 2^L, i = 0 .. 2^(L-1) - 1,
  // the level's tables starting at 2^(L-1) - 4.
  std::vector<float> cos_, sin_;
  std::vector<float> scratch_;
};

}  // namespace velmo::tuning
