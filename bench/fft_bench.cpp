// Our real FFT against FFTW single precision on the analysis lengths, and the
// whole spectrum analysis of a resonance window.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
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

// Ours against FFTW single precision in alternating batches, so both see the
// same load: the median of the per-batch time ratios (goal: 2 at most).
void RealFftBesideFftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  velmo::tuning::RealFft fft(static_cast<std::size_t>(n));
  std::vector<float> x = noise(static_cast<std::size_t>(n)), f(static_cast<std::size_t>(n));
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  std::copy(x.begin(), x.end(), in);
  const int reps = 4096 * 64 / n;
  auto batch_ns = [reps](auto&& run) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) run();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() / reps;
  };
  std::vector<double> ratios, ours, theirs;
  for (auto _ : state) {
    ours.push_back(batch_ns([&] {
      fft.transform(x, f);
      benchmark::DoNotOptimize(f.data());
      benchmark::ClobberMemory();
    }));
    theirs.push_back(batch_ns([&] {
      fftwf_execute(plan);
      benchmark::DoNotOptimize(out);
      benchmark::ClobberMemory();
    }));
    ratios.push_back(ours.back() / theirs.back());
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["ours_ns"] = median(ours);
  state.counters["fftw_ns"] = median(theirs);
  state.counters["ratio_median"] = median(ratios);
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(RealFftBesideFftw)->Arg(1024)->Arg(4096)->Iterations(41)->Unit(benchmark::kMillisecond);

void ResonanceSpectrumAnalysis(benchmark::State& state) {
  const auto& row = velmo::tuning::spectrum_mode(velmo::tuning::SpectrumMode::Resonance);
  std::vector<int32_t> w(row.length);
  for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<int32_t>(300 + 20 * std::sin(0.6 * static_cast<double>(i)));
  for (auto _ : state) benchmark::DoNotOptimize(velmo::tuning::analyse_spectrum(w, row, row.threshold_db));
}
BENCHMARK(ResonanceSpectrumAnalysis);

}  // namespace
