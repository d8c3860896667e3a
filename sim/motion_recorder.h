#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo::sim {

// The drive's recording area: absolute encoder positions taken every
// `decimation` control periods from the moment it is started.
class MotionRecorder {
 public:
  static constexpr int kCapacity = 5000;

  void start(int decimation);
  // Called once per control period with the encoder reading.
  void sample(uint32_t position) {
    if (!running_) return;
    if (countdown_-- > 0) return;
    countdown_ = decimation_ - 1;
    samples_.push_back(position);
    if (samples_.size() >= kCapacity) running_ = false;
  }
  bool running() const { return running_; }
  size_t size() const { return samples_.size(); }
  uint32_t at(size_t i) const { return samples_[i]; }

 private:
  std::vector<uint32_t> samples_;
  int decimation_ = 2;
  int countdown_ = 0;
  bool running_ = false;
};

}  // namespace velmo::sim
