// Our real FFT against FFTW single precision on the analysis lengths, and the
// whole spectrum analysis of a resonance window.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <vector>

#include "tuning/real_fft.h"
#include "tuning/spectrum_modes.h"

namespace {

std::vector<float> noise(std::size_t n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> v(-100.0f, 100.0f);
  std::vector<float> x(n);
  for (float& s : x) s = v(rng);
  return x;
}

void OurRealFft(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  velmo::tuning::RealFft fft(n);
  std::vector<float> x = noise(n), f(n);
  for (auto _ : state) {
    fft.transform(x, f);
    benchmark::DoNotOptimize(f.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(OurRealFft)->Arg(256)->Arg(1024)->Arg(4096);

// FFTW's real-to-complex transform with a measured plan (its best case).
void FftwSingleR2c(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  const std::vector<float> x = noise(n);
  std::copy(x.begin(), x.end(), in);
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(FftwSingleR2c)->Arg(256)->Arg(1024)->Arg(4096);

void ResonanceSpectrumAnalysis(benchmark::State& state) {
  const auto& row = velmo::tuning::spectrum_mode(velmo::tuning::SpectrumMode::Resonance);
  std::vector<int32_t> w(row.length);
  for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<int32_t>(300 + 20 * std::sin(0.6 * static_cast<double>(i)));
  for (auto _ : state) benchmark::DoNotOptimize(velmo::tuning::analyse_spectrum(w, row, row.threshold_db));
}
BENCHMARK(ResonanceSpectrumAnalysis);

}  // namespace
