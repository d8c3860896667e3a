#pragma once
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace velmo::bench {

// CPU seconds the whole process has used: the program and its threads.
inline double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// CPU seconds the simulated lines' threads ("velmo-sim") have used.
inline double sim_cpu_seconds() {
  double total = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return 0;
  while (const dirent* d = readdir(tasks)) {
    if (d->d_name[0] == '.') continue;
    const std::string dir = std::string("/proc/self/task/") + d->d_name;
    char name[32] = {};
    if (std::FILE* f = std::fopen((dir + "/comm").c_str(), "r")) {
      if (!std::fgets(name, sizeof name, f)) name[0] = 0;
      std::fclose(f);
    }
    if (std::strncmp(name, "velmo-sim", 9) != 0) continue;
    unsigned long long ns = 0;
    if (std::FILE* f = std::fopen((dir + "/schedstat").c_str(), "r")) {
      if (std::fscanf(f, "%llu", &ns) != 1) ns = 0;
      std::fclose(f);
    }
    total += static_cast<double>(ns) / 1e9;
  }
  closedir(tasks);
  return total;
}

// CPU seconds of the program: the whole process, threads that have ended
// included (a port's reader and writer come and go), less the simulated
// lines. Take both readings while the same lines run.
inline double program_cpu_seconds() { return cpu_seconds() - sim_cpu_seconds(); }

}  // namespace velmo::bench
