// Our real FFT against hand-known transforms and against FFTW (double precision).
#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

#include "tuning/real_fft.h"

namespace velmo::tuning {
namespace {

std::vector<float> transform(std::vector<float> x) {
  RealFft fft(x.size());
  std::vector<float> f(x.size());
  fft.transform(x, f);
  return f;
}

// FFTW's coefficients in our layout: real parts 0..N/2, then minus the imaginary parts.
std::vector<double> fftw_reference(const std::vector<float>& x) {
  const int n = static_cast<int>(x.size());
  std::vector<double> in(x.begin(), x.end());
  std::vector<fftw_complex> out(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  std::vector<double> f(n);
  for (int k = 0; k <= n / 2; ++k) f[k] = out[k][0];
  for (int k = 1; k < n / 2; ++k) f[n / 2 + k] = -out[k][1];
  return f;
}

void expect_matches_fftw(const std::vector<float>& x, const char* what) {
  const std::vector<float> ours = transform(x);
  const std::vector<double> ref = fftw_reference(x);
  double sum_abs = 0;
  for (float v : x) sum_abs += std::fabs(v);
  const double tol = 4e-7 * (std::log2(static_cast<double>(x.size())) + 1) * sum_abs + 1e-6;
  for (std::size_t k = 0; k < x.size(); ++k) ASSERT_NEAR(ours[k], ref[k], tol) << what << " N=" << x.size() << " k=" << k;
}

TEST(RealFft, HandKnownTransforms) {
  EXPECT_EQ(transform({5}), std::vector<float>({5}));
  EXPECT_EQ(transform({3, 1}), std::vector<float>({4, 2}));
  EXPECT_EQ(transform({1, 2, 3, 4}), std::vector<float>({10, -2, -2, -2}));  // X(1) = -2 + 2i

  const std::vector<float> impulse = transform({1, 0, 0, 0, 0, 0, 0, 0});
  for (int k = 0; k < 8; ++k) EXPECT_FLOAT_EQ(impulse[k], k <= 4 ? 1.0f : 0.0f) << k;

  const std::vector<float> flat = transform(std::vector<float>(64, 2.5f));
  EXPECT_FLOAT_EQ(flat[0], 160.0f);
  for (int k = 1; k < 64; ++k) EXPECT_NEAR(flat[k], 0.0f, 1e-5) << k;

  std::vector<float> cosine(1024), sine(1024);
  for (int n = 0; n < 1024; ++n) {
    cosine[n] = static_cast<float>(std::cos(2 * std::numbers::pi * 3 * n / 1024));
    sine[n] = static_cast<float>(std::sin(2 * std::numbers::pi * 3 * n / 1024));
  }
  const std::vector<float> fc = transform(cosine), fs = transform(sine);
  for (int k = 0; k < 1024; ++k) {
    EXPECT_NEAR(fc[k], k == 3 ? 512.0f : 0.0f, 2e-3) << k;
    EXPECT_NEAR(fs[k], k == 512 + 3 ? 512.0f : 0.0f, 2e-3) << k;  // Im X(3) = -N/2
  }
}

TEST(RealFft, MatchesFftwForEveryLengthOddAndEvenBits) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (std::size_t n = 1; n <= 4096; n *= 2) {
    std::vector<float> x(n), tone(n);
    for (float& v : x) v = value(rng);
    for (std::size_t i = 0; i < n; ++i)
      tone[i] = static_cast<float>(300 * std::sin(2 * std::numbers::pi * 0.37 * static_cast<double>(i)) + 20);
    expect_matches_fftw(x, "random");
    expect_matches_fftw(tone, "sine");
  }
}

TEST(RealFft, RefusesLengthsThatAreNotPowersOfTwo) {
  for (std::size_t n : {0, 3, 6, 1000, 4095}) EXPECT_THROW(RealFft{n}, std::invalid_argument) << n;
  RealFft fft(16);
  std::vector<float> x(8), f(16);
  EXPECT_THROW(fft.transform(x, f), std::invalid_argument);
}

}  // namespace
}  // namespace velmo::tuning
