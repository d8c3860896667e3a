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
  std::vector<float> f(x.size());
  RealFft(x.size()).transform(x, f);
  return f;
}

TEST(RealFft, HandKnownTransforms) {
  EXPECT_EQ(transform({5}), std::vector<float>({5}));
  EXPECT_EQ(transform({3, 1}), std::vector<float>({4, 2}));
  EXPECT_EQ(transform({1, 2, 3, 4}), std::vector<float>({10, -2, -2, -2}));  // X(1) = -2 + 2i
  EXPECT_EQ(transform({1, 0, 0, 0, 0, 0, 0, 0}), std::vector<float>({1, 1, 1, 1, 1, 0, 0, 0}));
  std::vector<float> flat = transform(std::vector<float>(64, 2.5f)), cosine(1024);
  EXPECT_FLOAT_EQ(flat[0], 160.0f);
  for (int k = 1; k < 64; ++k) EXPECT_NEAR(flat[k], 0.0f, 1e-5) << k;
  for (int n = 0; n < 1024; ++n) cosine[n] = static_cast<float>(std::cos(2 * std::numbers::pi * 3 * n / 1024));
  cosine = transform(cosine);
  for (int k = 0; k < 1024; ++k) EXPECT_NEAR(cosine[k], k == 3 ? 512.0f : 0.0f, 2e-3) << k;
}

TEST(RealFft, MatchesFftwForEveryLengthOddAndEvenBits) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (int n = 1; n <= 4096; n *= 2) {
    for (bool tone : {false, true}) {
      std::vector<float> x(n);
      for (int i = 0; i < n; ++i) x[i] = tone ? static_cast<float>(300 * std::sin(2.3 * i) + 20) : value(rng);
      std::vector<double> in(x.begin(), x.end());
      std::vector<fftw_complex> out(n / 2 + 1);
      fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
      fftw_execute(plan);
      fftw_destroy_plan(plan);
      const std::vector<float> f = transform(x);
      double sum_abs = 0;
      for (float v : x) sum_abs += std::fabs(v);
      const double tol = 4e-7 * (std::log2(n) + 1) * sum_abs + 1e-6;
      // Real parts 0..N/2, then minus the imaginary parts of 1..N/2-1.
      for (int k = 0; k <= n / 2; ++k) ASSERT_NEAR(f[k], out[k][0], tol) << n << " " << k;
      for (int k = 1; k < n / 2; ++k) ASSERT_NEAR(f[n / 2 + k], -out[k][1], tol) << n << " " << k;
    }
  }
}

TEST(RealFft, RefusesLengthsThatAreNotPowersOfTwo) {
  for (std::size_t n : {0, 3, 6, 1000, 4095}) EXPECT_THROW(RealFft{n}, std::invalid_argument) << n;
  std::vector<float> x(8), f(16);
  EXPECT_THROW(RealFft(16).transform(x, f), std::invalid_argument);
}

}  // namespace
}  // namespace velmo::tuning
