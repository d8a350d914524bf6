#include "KRZLineSink.h"

#include <iostream>
#include <mutex>

namespace {

// The process's sink: one per process by nature (standard output is one per process too).
struct Sink {
  std::mutex mutex; ///< held while the sink is changed or read
  KRZLineSinkFunction function = nullptr;
  void* user = nullptr;
};

Sink& TheSink() {
  static Sink sink;
  return sink;
}

thread_local int t_nLineRank = -1;

} // namespace

void KRZSetLineSink(KRZLineSinkFunction sink, void* user) {
  Sink& s = TheSink();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.function = sink;
  s.user = user;
}

void KRZSetLineRank(int rank) { t_nLineRank = rank; }

int KRZLineRank() { return t_nLineRank; }

void KRZEmitLine(const std::string& line) {
  Sink& s = TheSink();
  KRZLineSinkFunction function = nullptr;
  void* user = nullptr;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    function = s.function;
    user = s.user;
  }
  // Called without a lock: a sink that waits for a lock of its own (Python's interpreter lock)
  // cannot wait for a thread that waits here.
  if (function != nullptr) {
    try {
      function(t_nLineRank, line.c_str(), user);
      return;
    } catch (...) { // a sink that throws loses no line: it goes to standard output instead
    }
  }
  // One write per line, so that a per-thread stream buffer on std::cout sees each line whole.
  const std::string text = line + '\n';
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
}
