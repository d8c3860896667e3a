#include "tuning/real_fft.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

// The passes are built twice on x86-64: for AVX2 (eight floats a register)
// and for the baseline; the loader picks one for the machine at start-up.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELMO_FFT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELMO_FFT_CLONES
#endif
// What the passes call is built into each of them, for its target: no
// vector ever crosses a call, whatever the caller's registers.
#define VELMO_FFT_INLINE __attribute__((always_inline)) inline

namespace velmo::tuning {
namespace {

// Four or eight floats handled as one: GCC and Clang map them to the
// target's vector registers (or to plain floats where there are none).
typedef float v4 __attribute__((vector_size(16)));
typedef float v8 __attribute__((vector_size(32)));

template <typename V>
VELMO_FFT_INLINE V load(const float* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
VELMO_FFT_INLINE v4 load(const float* p) { return load<v4>(p); }
template <typename V>
VELMO_FFT_INLINE void store(float* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

// Lanes a0..a3 b0..b3 picked by number (0..7).
template <int i0, int i1, int i2, int i3>
VELMO_FFT_INLINE v4 pick(v4 a, v4 b) {
#if defined(__clang__)
  return __builtin_shufflevector(a, b, i0, i1, i2, i3);
#else
  typedef int v4i __attribute__((vector_size(16)));
  return __builtin_shuffle(a, b, v4i{i0, i1, i2, i3});
#endif
}
VELMO_FFT_INLINE v4 reversed(v4 v) { return pick<3, 2, 1, 0>(v, v); }

// The radix-4 butterfly with its twiddles, on a vector of values at once:
// from a, b, c, d (q + stride (p + j m), j = 0..3) to outputs 0..3
// (q + stride (4p + j)).
template <typename V>
struct Quad {
  V r[4], i[4];
};
template <typename V>
VELMO_FFT_INLINE Quad<V> butterfly(V ar, V ai, V br, V bi, V cr, V ci, V dr, V di, V c1, V s1, V c2, V s2, V c3, V s3) {
  const V apc_r = ar + cr, apc_i = ai + ci, amc_r = ar - cr, amc_i = ai - ci;
  const V bpd_r = br + dr, bpd_i = bi + di, bmd_r = br - dr, bmd_i = bi - di;
  // (a - c) - i (b - d), (a + c) - (b + d), (a - c) + i (b - d)
  const V t1r = amc_r + bmd_i, t1i = amc_i - bmd_r;
  const V t2r = apc_r - bpd_r, t2i = apc_i - bpd_i;
  const V t3r = amc_r - bmd_i, t3i = amc_i + bmd_r;
  Quad<V> y;
  y.r[0] = apc_r + bpd_r;
  y.i[0] = apc_i + bpd_i;
  y.r[1] = t1r * c1 - t1i * s1;
  y.i[1] = t1r * s1 + t1i * c1;
  y.r[2] = t2r * c2 - t2i * s2;
  y.i[2] = t2r * s2 + t2i * c2;
  y.r[3] = t3r * c3 - t3i * s3;
  y.i[3] = t3r * s3 + t3i * c3;
  return y;
}

// Rows to columns: out[j][k] = in[k][j].
VELMO_FFT_INLINE void transpose(const v4 (&in)[4], float* out0, float* out1, float* out2, float* out3) {
  const v4 t0 = pick<0, 4, 1, 5>(in[0], in[1]), t1 = pick<2, 6, 3, 7>(in[0], in[1]);
  const v4 t2 = pick<0, 4, 1, 5>(in[2], in[3]), t3 = pick<2, 6, 3, 7>(in[2], in[3]);
  store(out0, pick<0, 1, 4, 5>(t0, t2));
  store(out1, pick<2, 3, 6, 7>(t0, t2));
  store(out2, pick<0, 1, 4, 5>(t1, t3));
  store(out3, pick<2, 3, 6, 7>(t1, t3));
}

// A radix-4 pass's twiddles: the real and imaginary parts of w^p, w^2p and
// w^3p, m values each, one run after another.
struct PassTwiddles {
  PassTwiddles(const float* tw, std::size_t m)
      : w1r(tw), w1i(tw + m), w2r(tw + 2 * m), w2i(tw + 3 * m), w3r(tw + 4 * m), w3i(tw + 5 * m) {}
  const float *w1r, *w1i, *w2r, *w2i, *w3r, *w3i;
};

// One radix-4 decimation-in-frequency pass, ordered output (Stockham): the
// sub-sequence element q + stride (p + j m) goes to q + stride (4p + j).
// Every pass but the first: the stride is a multiple of four, and the q run
// a vector at a time.
template <typename V>
VELMO_FFT_INLINE void radix4_pass(std::size_t m, std::size_t s, const float* tw, const float* xr, const float* xi, float* yr,
                        float* yi) {
  const PassTwiddles w(tw, m);
  constexpr std::size_t kLanes = sizeof(V) / sizeof(float);
  for (std::size_t p = 0; p < m; ++p) {
    const V c1 = V{} + w.w1r[p], s1 = V{} + w.w1i[p], c2 = V{} + w.w2r[p], s2 = V{} + w.w2i[p];
    const V c3 = V{} + w.w3r[p], s3 = V{} + w.w3i[p];
    const std::size_t in = s * p, out = 4 * s * p, sm = s * m;
    for (std::size_t q = 0; q < s; q += kLanes) {
      const std::size_t a = in + q;
      const auto y = butterfly<V>(load<V>(xr + a), load<V>(xi + a), load<V>(xr + a + sm), load<V>(xi + a + sm),
                                  load<V>(xr + a + 2 * sm), load<V>(xi + a + 2 * sm), load<V>(xr + a + 3 * sm),
                                  load<V>(xi + a + 3 * sm), c1, s1, c2, s2, c3, s3);
      for (std::size_t j = 0; j < 4; ++j) {
        store(yr + out + j * s + q, y.r[j]);
        store(yi + out + j * s + q, y.i[j]);
      }
    }
  }
}

VELMO_FFT_CLONES void later_pass(std::size_t m, std::size_t s, const float* tw, const float* xr, const float* xi,
                                 float* yr, float* yi) {
  if (s % 8 == 0) radix4_pass<v8>(m, s, tw, xr, xi, yr, yi);
  else radix4_pass<v4>(m, s, tw, xr, xi, yr, yi);
}

// The last pass when the complex length is an odd power of two and nothing
// came before it: pairs of sub-sequences of length 2, no twiddle.
void radix2_pass(std::size_t stride, const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                 float* __restrict yi) {
  for (std::size_t q = 0; q < stride; ++q) {
    const float ar = xr[q], ai = xi[q], br = xr[q + stride], bi = xi[q + stride];
    yr[q] = ar + br;
    yi[q] = ai + bi;
    yr[q + stride] = ar - br;
    yi[q + stride] = ai - bi;
  }
}

// The last pass when the complex length is an odd power of two: eight-point
// transforms (two of four and one step of two) of q + stride k into
// q + stride j; stride is a multiple of four.
template <typename V>
VELMO_FFT_INLINE void radix8_last_pass(std::size_t s, const float* xr, const float* xi, float* yr, float* yi) {
  const float r = static_cast<float>(std::numbers::sqrt2 / 2);
  const V h = V{} + r;
  constexpr std::size_t kLanes = sizeof(V) / sizeof(float);
  for (std::size_t q = 0; q < s; q += kLanes) {
    V ur[8], ui[8];
    for (int k = 0; k < 8; ++k) {
      ur[k] = load<V>(xr + q + k * s);
      ui[k] = load<V>(xi + q + k * s);
    }
    // Four-point transforms of the even (0 2 4 6) and odd (1 3 5 7) inputs.
    auto four = [](const V* xr4, const V* xi4, int o, V* yr4, V* yi4) {
      const V apc_r = xr4[o] + xr4[o + 4], apc_i = xi4[o] + xi4[o + 4];
      const V amc_r = xr4[o] - xr4[o + 4], amc_i = xi4[o] - xi4[o + 4];
      const V bpd_r = xr4[o + 2] + xr4[o + 6], bpd_i = xi4[o + 2] + xi4[o + 6];
      const V bmd_r = xr4[o + 2] - xr4[o + 6], bmd_i = xi4[o + 2] - xi4[o + 6];
      yr4[0] = apc_r + bpd_r;
      yi4[0] = apc_i + bpd_i;
      yr4[1] = amc_r + bmd_i;
      yi4[1] = amc_i - bmd_r;
      yr4[2] = apc_r - bpd_r;
      yi4[2] = apc_i - bpd_i;
      yr4[3] = amc_r - bmd_i;
      yi4[3] = amc_i + bmd_r;
    };
    V er[4], ei[4], orr[4], oi[4];
    four(ur, ui, 0, er, ei);
    four(ur, ui, 1, orr, oi);
    // Odd part times e^(-i pi j / 4): 1, (1 - i)/sqrt2, -i, -(1 + i)/sqrt2.
    V tr[4], ti[4];
    tr[0] = orr[0];
    ti[0] = oi[0];
    tr[1] = h * (orr[1] + oi[1]);
    ti[1] = h * (oi[1] - orr[1]);
    tr[2] = oi[2];
    ti[2] = -orr[2];
    tr[3] = h * (oi[3] - orr[3]);
    ti[3] = -h * (orr[3] + oi[3]);
    for (int j = 0; j < 4; ++j) {
      store(yr + q + j * s, er[j] + tr[j]);
      store(yi + q + j * s, ei[j] + ti[j]);
      store(yr + q + (j + 4) * s, er[j] - tr[j]);
      store(yi + q + (j + 4) * s, ei[j] - ti[j]);
    }
  }
}

VELMO_FFT_CLONES void last_radix8_pass(std::size_t s, const float* xr, const float* xi, float* yr, float* yi) {
  if (s % 8 == 0) radix8_last_pass<v8>(s, xr, xi, yr, yi);
  else radix8_last_pass<v4>(s, xr, xi, yr, yi);
}

// The first pass (stride 1) reads the samples themselves: even ones as the
// real parts, odd ones as the imaginary parts, four p at a time.
VELMO_FFT_CLONES void radix4_first_pass(std::size_t m, const float* tw, const float* x, float* yr, float* yi) {
  const PassTwiddles w(tw, m);
  std::size_t p = 0;
  for (; p + 4 <= m; p += 4) {
    v4 in_r[4], in_i[4];
    for (std::size_t j = 0; j < 4; ++j) {
      const float* at = x + 2 * (p + j * m);
      const v4 lo = load(at), hi = load(at + 4);
      in_r[j] = pick<0, 2, 4, 6>(lo, hi);
      in_i[j] = pick<1, 3, 5, 7>(lo, hi);
    }
    const auto y = butterfly(in_r[0], in_i[0], in_r[1], in_i[1], in_r[2], in_i[2], in_r[3], in_i[3], load(w.w1r + p),
                             load(w.w1i + p), load(w.w2r + p), load(w.w2i + p), load(w.w3r + p), load(w.w3i + p));
    float* r = yr + 4 * p;
    float* i = yi + 4 * p;
    transpose(y.r, r, r + 4, r + 8, r + 12);
    transpose(y.i, i, i + 4, i + 8, i + 12);
  }
  for (; p < m; ++p) {
    v4 in_r[4], in_i[4];
    for (std::size_t j = 0; j < 4; ++j) {
      in_r[j] = v4{x[2 * (p + j * m)]};
      in_i[j] = v4{x[2 * (p + j * m) + 1]};
    }
    const auto y = butterfly(in_r[0], in_i[0], in_r[1], in_i[1], in_r[2], in_i[2], in_r[3], in_i[3], v4{w.w1r[p]},
                             v4{w.w1i[p]}, v4{w.w2r[p]}, v4{w.w2i[p]}, v4{w.w3r[p]}, v4{w.w3i[p]});
    for (int j = 0; j < 4; ++j) {
      yr[4 * p + j] = y.r[j][0];
      yi[4 * p + j] = y.i[j][0];
    }
  }
}

// Z = E + i O, E and O the transforms of the even and odd samples:
// E(k) = (Z(k) + conj Z(h-k)) / 2, O(k) = (Z(k) - conj Z(h-k)) / 2i,
// X(k) = E(k) + w^k O(k) and X(h-k) = conj(E(k) - w^k O(k)), w = e^(-2 pi i / N).
VELMO_FFT_CLONES void separate_halves(std::size_t h, const float* sr, const float* si, const float* wr,
                                      const float* wi, float* f) {
  f[0] = sr[0] + si[0];
  f[h] = sr[0] - si[0];
  const v4 half = {0.5f, 0.5f, 0.5f, 0.5f};
  std::size_t k = 1;
  for (; k + 4 <= h / 2; k += 4) {
    // k .. k + 3 and their mirrors h - k - 3 .. h - k, turned round to match.
    const v4 zr = load(sr + k), zi = load(si + k);
    const v4 cr = reversed(load(sr + h - k - 3)), ci = -reversed(load(si + h - k - 3));
    const v4 er = half * (zr + cr), ei = half * (zi + ci);
    // (Z - conj Z') / 2i: dividing by i turns (a + ib) into (b - ia).
    const v4 or_ = half * (zi - ci), oi = -half * (zr - cr);
    const v4 w_r = load(wr + k), w_i = load(wi + k);
    const v4 tr = w_r * or_ - w_i * oi, ti = w_r * oi + w_i * or_;
    store(f + k, er + tr);
    store(f + h + k, -(ei + ti));
    store(f + h - k - 3, reversed(er - tr));
    store(f + 2 * h - k - 3, reversed(ei - ti));  // minus the imaginary part of conj(E - wO)
  }
  for (; k < h / 2; ++k) {
    const float zr = sr[k], zi = si[k], cr = sr[h - k], ci = -si[h - k];
    const float er = 0.5f * (zr + cr), ei = 0.5f * (zi + ci);
    const float or_ = 0.5f * (zi - ci), oi = -0.5f * (zr - cr);
    const float tr = wr[k] * or_ - wi[k] * oi, ti = wr[k] * oi + wi[k] * or_;
    f[k] = er + tr;
    f[h + k] = -(ei + ti);
    f[h - k] = er - tr;
    f[2 * h - k] = ei - ti;
  }
  // The middle: w = -i, and X(h/2) = conj Z(h/2).
  f[h / 2] = sr[h / 2];
  f[h + h / 2] = si[h / 2];
}

}  // namespace

RealFft::RealFft(std::size_t length) : n_(length), half_(length / 2) {
  if (length == 0 || (length & (length - 1)) != 0 || length > (std::size_t{1} << 30))
    throw std::invalid_argument("FFT length " + std::to_string(length) + " is not a power of two");
  if (n_ < 8) return;  // written out in transform()

  // Passes over the complex sequence of length N/2: radix 4 while four
  // divide what is left, then radix 2 once if two is left.
  std::size_t stride = 1;
  for (std::size_t len = half_; len >= 4; len /= 4) {
    const std::size_t m = len / 4;
    passes_.push_back({m, stride, tw_.size()});
    const double step = -2 * std::numbers::pi / static_cast<double>(len);
    tw_.resize(tw_.size() + 6 * m);
    float* t = tw_.data() + passes_.back().twiddles;
    for (std::size_t p = 0; p < m; ++p) {
      for (int j = 1; j <= 3; ++j) {
        const double angle = step * static_cast<double>(j * p);
        t[(2 * j - 2) * m + p] = static_cast<float>(std::cos(angle));
        t[(2 * j - 1) * m + p] = static_cast<float>(std::sin(angle));
      }
    }
    stride *= 4;
    if (len / 4 == 2) last_ = LastPass::Radix2;
  }
  // Two passes (of four, then of two) make one of eight where the pass of
  // four is not the first.
  if (last_ == LastPass::Radix2 && passes_.size() >= 2) {
    tw_.resize(passes_.back().twiddles);
    passes_.pop_back();
    last_ = LastPass::Radix8;
  }

  const std::size_t quarter = n_ / 4;
  split_re_.resize(quarter + 1);
  split_im_.resize(quarter + 1);
  for (std::size_t k = 0; k <= quarter; ++k) {
    const double angle = -2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n_);
    split_re_[k] = static_cast<float>(std::cos(angle));
    split_im_[k] = static_cast<float>(std::sin(angle));
  }
  for (auto* v : {&a_re_, &a_im_, &b_re_, &b_im_}) v->resize(half_);
}

void RealFft::transform(std::span<const float> x_span, std::span<float> f_span) {
  if (x_span.size() < n_ || f_span.size() < n_)
    throw std::invalid_argument("FFT buffers shorter than the transform length");
  const float* x = x_span.data();
  float* f = f_span.data();
  switch (n_) {
    case 1:
      f[0] = x[0];
      return;
    case 2:
      f[0] = x[0] + x[1];
      f[1] = x[0] - x[1];
      return;
    case 4: {
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

  const std::size_t h = half_;
  float* sr = a_re_.data();
  float* si = a_im_.data();
  float* dr = b_re_.data();
  float* di = b_im_.data();
  radix4_first_pass(passes_.front().m, tw_.data(), x, sr, si);
  for (std::size_t k = 1; k < passes_.size(); ++k) {
    const Pass& pass = passes_[k];
    later_pass(pass.m, pass.stride, tw_.data() + pass.twiddles, sr, si, dr, di);
    std::swap(sr, dr);
    std::swap(si, di);
  }
  if (last_ != LastPass::None) {
    if (last_ == LastPass::Radix2) radix2_pass(h / 2, sr, si, dr, di);
    else last_radix8_pass(h / 8, sr, si, dr, di);
    std::swap(sr, dr);
    std::swap(si, di);
  }

  separate_halves(h, sr, si, split_re_.data(), split_im_.data(), f);
}

}  // namespace velmo::tuning
