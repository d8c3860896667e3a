#include "sim/motion_recorder.h"

namespace velmo::sim {

void MotionRecorder::start(int decimation) {
  samples_.clear();
  samples_.reserve(kCapacity);
  decimation_ = decimation < 1 ? 1 : decimation;
  countdown_ = 0;
  running_ = true;
}

}  // namespace velmo::sim
