// Timing, medians, memory and even splits: the demo times its stages and reads its peak memory
// with these, and the layers above it (krz3d couple, krz3d bench, the PETSc benchmark) reuse them.
#ifndef KRZ_APPS_DEMO_KRZMEASURE_H
#define KRZ_APPS_DEMO_KRZMEASURE_H

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace krz::measure {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

/// Resets this process's resident-memory high-water mark.
inline void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

/// A field of /proc/self/status in MiB ("VmHWM:" peak, "VmRSS:" current).
inline double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, std::strlen(field), field) == 0)
      return std::stod(line.substr(std::strlen(field))) / 1024.0; // the file says kB
  return 0.0;
}

/// Items of rank p when `items` are spread evenly over nproc ranks.
inline int Count(long long items, int nproc, int p) {
  return static_cast<int>(items / nproc + (p < items % nproc ? 1 : 0));
}

} // namespace krz::measure

#endif
