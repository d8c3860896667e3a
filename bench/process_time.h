#pragma once
#include <ctime>

namespace velmo::bench {

// CPU seconds the whole process has used: the program and its threads.
inline double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace velmo::bench
