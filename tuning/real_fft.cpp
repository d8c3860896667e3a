#include "tuning/real_fft.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

namespace velmo::tuning {
namespace {

// Entries 1 .. h - 1 of one block of a later pass. The four outputs never
// overlap; two of them run backwards.
void butterflies(const float* __restrict s0, const float* __restrict s1, const float* __restrict s2,
                 const float* __restrict s3, const float* __restrict cs, const float* __restrict sn,
                 float* __restrict up, float* __restrict mid_down, float* __restrict up2,
                 float* __restrict top_down, std::size_t h) {
  for (std::size_t i = 1; i < h; ++i) {
    const float v = s2[i] * cs[i] - s3[i] * sn[i];
    const float w = s2[i] * sn[i] + s3[i] * cs[i];
    up[i - 1] = s0[i] + v;
    *(mid_down - (i - 1)) = s0[i] - v;
    up2[i - 1] = w + s1[i];
    *(top_down - (i - 1)) = w - s1[i];
  }
}

}  // namespace

RealFft::RealFft(std::size_t length) : n_(length), bits_(0) {
  if (length == 0 || (length & (length - 1)) != 0 || length > (std::size_t{1} << 30))
    throw std::invalid_argument("FFT length " + std::to_string(length) + " is not a power of two");
  while ((std::size_t{1} << bits_) < n_) ++bits_;

  bit_reversed_.resize(n_);
  for (std::size_t i = 0; i < n_; ++i) {
    uint32_t r = 0;
    for (int b = 0; b < bits_; ++b) r |= static_cast<uint32_t>((i >> b) & 1U) << (bits_ - 1 - b);
    bit_reversed_[i] = r;
  }

  if (bits_ > 3) {
    const std::size_t size = (n_ >> 1) - 4;
    cos_.resize(size);
    sin_.resize(size);
    for (int level = 3; level < bits_; ++level) {
      const std::size_t half = std::size_t{1} << (level - 1);
      const double step = std::numbers::pi / static_cast<double>(std::size_t{1} << level);
      for (std::size_t i = 0; i < half; ++i) {
        cos_[half - 4 + i] = static_cast<float>(std::cos(static_cast<double>(i) * step));
        sin_[half - 4 + i] = static_cast<float>(std::sin(static_cast<double>(i) * step));
      }
    }
  }
  if (bits_ > 2) scratch_.resize(n_);
}

// Passes 1 and 2: butterflies of 4 on the bit-reversed input, then of 8.
void RealFft::first_passes(const float* x, float* d) const {
  const uint32_t* rev = bit_reversed_.data();
  for (std::size_t i = 0; i < n_; i += 4) {
    const float x0 = x[rev[i]], x1 = x[rev[i + 1]], x2 = x[rev[i + 2]], x3 = x[rev[i + 3]];
    d[i + 1] = x0 - x1;
    d[i + 3] = x2 - x3;
    const float a = x0 + x1, b = x2 + x3;
    d[i] = a + b;
    d[i + 2] = a - b;
  }
}

void RealFft::transform(std::span<const float> x_span, std::span<float> f_span) {
  if (x_span.size() < n_ || f_span.size() < n_)
    throw std::invalid_argument("FFT buffers shorter than the transform length");
  const float* x = x_span.data();
  float* f = f_span.data();
  switch (bits_) {
    case 0:
      f[0] = x[0];
      return;
    case 1:
      f[0] = x[0] + x[1];
      f[1] = x[0] - x[1];
      return;
    case 2: {
      f[1] = x[0] - x[2];
      f[3] = x[1] - x[3];
      const float a = x[0] + x[2], b = x[1] + x[3];
      f[0] = a + b;
      f[2] = a - b;
      return;
    }
    default:
      break;
  }

  // The passes alternate between f and the scratch block so that the last one
  // (there are bits - 1) ends in f.
  float* s = (bits_ & 1) ? scratch_.data() : f;
  float* d = (bits_ & 1) ? f : scratch_.data();
  first_passes(x, s);

  const float sqrt2_2 = static_cast<float>(std::numbers::sqrt2 / 2);
  for (std::size_t i = 0; i < n_; i += 8) {
    d[i] = s[i] + s[i + 4];
    d[i + 4] = s[i] - s[i + 4];
    d[i + 2] = s[i + 2];
    d[i + 6] = s[i + 6];
    float v = (s[i + 5] - s[i + 7]) * sqrt2_2;
    d[i + 1] = s[i + 1] + v;
    d[i + 3] = s[i + 1] - v;
    v = (s[i + 5] + s[i + 7]) * sqrt2_2;
    d[i + 5] = v + s[i + 3];
    d[i + 7] = v - s[i + 3];
  }

  for (int level = 3; level < bits_; ++level) {
    std::swap(s, d);
    const std::size_t n = std::size_t{1} << level, h = n >> 1;
    const float* cs = cos_.data() + (h - 4);
    const float* sn = sin_.data() + (h - 4);
    for (std::size_t b = 0; b < n_; b += 2 * n) {
      const float* s0 = s + b;          // first half, real parts
      const float* s1 = s + b + h;      // first half, imaginary parts
      const float* s2 = s + b + n;      // second half, real parts
      const float* s3 = s + b + n + h;  // second half, imaginary parts
      float* d0 = d + b;
      d0[0] = s0[0] + s2[0];
      d0[n] = s0[0] - s2[0];
      d0[h] = s1[0];
      d0[n + h] = s3[0];
      butterflies(s0, s1, s2, s3, cs, sn, d0 + 1, d0 + n - 1, d0 + n + 1, d0 + 2 * n - 1, h);
    }
  }
}

}  // namespace velmo::tuning
