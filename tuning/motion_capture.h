#pragma once
#include <cstdint>
#include <vector>

// How the drive's recording is read back: blocks of at most 25 samples from
// 0x9000 on, four bytes a sample.
namespace velmo::tuning {

inline constexpr int kSamplesPerBlock = 25;
inline constexpr int kTriesPerBlock = 4;
inline constexpr int kBytesPerSample = 4;

struct CaptureBlock {
  uint16_t address;  // first sample's address
  uint16_t count;    // samples asked for
  int byte_offset;   // where they go in the capture buffer
};

struct CapturePlan {
  int counted_blocks = 0;            // N div 25 + 1: the progress steps
  std::vector<CaptureBlock> blocks;  // what is sent (an empty last block is not)
};

CapturePlan capture_plan(int samples, int first_sample);

}  // namespace velmo::tuning
