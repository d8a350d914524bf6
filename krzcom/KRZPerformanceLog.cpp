#include "KRZPerformanceLog.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "CKRZCom.h"
#include "KRZLineSink.h"

namespace {

// -1: the environment not read yet; 0 off; 1 on. One per process, as the environment is.
std::atomic<int> g_nState{-1};

constexpr int kOperations = static_cast<int>(KRZLogged::Count);
const char* const kNames[kOperations] = {
#define KRZ_LOGGED_NAME(id, text) text,
    KRZ_LOGGED_OPERATIONS(KRZ_LOGGED_NAME)
#undef KRZ_LOGGED_NAME
};

// One rank's counts: with the thread that runs the rank.
struct RankLog {
  std::vector<KRZLogEntry> entries;
  KRZLogEntry* current = nullptr; ///< the operation being counted, or null
  bool paused = false;            ///< while the report communicates
};
thread_local RankLog t_Log;

RankLog& Log() {
  if (t_Log.entries.empty()) {
    t_Log.entries.resize(kOperations);
    for (int k = 0; k < kOperations; ++k)
      t_Log.entries[static_cast<size_t>(k)].operation = kNames[k];
  }
  return t_Log;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

void KRZSetPerformanceLog(bool on) { g_nState = on ? 1 : 0; }

bool KRZPerformanceLogOn() {
  int state = g_nState.load(std::memory_order_relaxed);
  if (state < 0) {
    const char* view = std::getenv("KRZ3DCOMTOOLS_LOG_VIEW");
    int unread = -1;
    g_nState.compare_exchange_strong(unread, view != nullptr && std::atoi(view) != 0 ? 1 : 0);
    state = g_nState.load();
  }
  return state == 1;
}

std::vector<KRZLogEntry> KRZPerformanceLogOfThisRank() { return Log().entries; }

void KRZResetPerformanceLogOfThisRank() {
  t_Log.entries.clear();
  t_Log.current = nullptr;
  Log();
}

namespace krz::detail {

void CKRZLogScope::Open(KRZLogged operation) {
  RankLog& log = Log();
  if (log.current != nullptr || log.paused)
    return; // part of the operation being counted
  m_pEntry = &log.entries[static_cast<size_t>(operation)];
  log.current = m_pEntry;
  m_dStart = Now();
}

void CKRZLogScope::Close() {
  ++m_pEntry->calls;
  m_pEntry->seconds += Now() - m_dStart;
  t_Log.current = nullptr;
}

void KRZLogMessage(bool sent, long long bytes) {
  KRZLogEntry* entry = t_Log.current;
  if (entry == nullptr || !KRZPerformanceLogOn())
    return;
  if (sent) {
    ++entry->messagesSent;
    entry->bytesSent += bytes;
  } else {
    ++entry->messagesReceived;
    entry->bytesReceived += bytes;
  }
}

CKRZLogWait::CKRZLogWait() {
  if (t_Log.current != nullptr && KRZPerformanceLogOn()) {
    m_pEntry = t_Log.current;
    m_dStart = Now();
  }
}

CKRZLogWait::~CKRZLogWait() {
  if (m_pEntry != nullptr)
    m_pEntry->waitSeconds += Now() - m_dStart;
}

} // namespace krz::detail

namespace {

// The fields of the table, in the order they travel.
constexpr int kFields = 7;
double Field(const KRZLogEntry& e, int f) {
  switch (f) {
  case 0: return static_cast<double>(e.calls);
  case 1: return e.seconds;
  case 2: return e.waitSeconds;
  case 3: return static_cast<double>(e.messagesSent);
  case 4: return static_cast<double>(e.messagesReceived);
  case 5: return static_cast<double>(e.bytesSent) / 1e6;
  default: return static_cast<double>(e.bytesReceived) / 1e6;
  }
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  return text;
}

} // namespace

std::string KRZPerformanceLogReport(CKRZCom& com, int myid, int nproc, bool print) {
  RankLog& log = Log();
  const bool paused = log.paused;
  log.paused = true; // the report's own messages are no operation's
  // Minimum and maximum over the ranks of every field: one AllMin of the values and their
  // negatives.
  const size_t n = static_cast<size_t>(kOperations) * kFields;
  std::vector<double> mine(2 * n), least(2 * n);
  for (int k = 0; k < kOperations; ++k)
    for (int f = 0; f < kFields; ++f) {
      const double v = Field(log.entries[static_cast<size_t>(k)], f);
      mine[static_cast<size_t>(k * kFields + f)] = v;
      mine[n + static_cast<size_t>(k * kFields + f)] = -v;
    }
  if (nproc > 1)
    com.AllMin(com.m_nTypeDouble, mine.data(), least.data(), static_cast<int>(2 * n),
               com.m_nCommHandle);
  else
    least = mine;
  log.paused = paused;
  if (myid != 0)
    return "";
  auto low = [&](int k, int f) { return least[static_cast<size_t>(k * kFields + f)]; };
  auto high = [&](int k, int f) { return -least[n + static_cast<size_t>(k * kFields + f)]; };
  // Columns of "minimum/maximum" (time: and the ratio where the time is measurable).
  auto cell = [](const std::string& text, size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
  };
  std::vector<std::string> lines;
  lines.push_back(Format("KRZ3DCOMTools performance log, %d rank%s: minimum/maximum over the "
                         "ranks (time: and their ratio)",
                         nproc, nproc == 1 ? "" : "s"));
  std::string head = cell("operation", 27);
  for (const char* title :
       {"calls", "time s", "wait s", "msgs sent", "msgs received", "MB sent", "MB received"})
    head += cell(title, std::string(title) == "time s" ? 25 : 18);
  lines.push_back(head);
  for (int k = 0; k < kOperations; ++k) {
    if (high(k, 0) == 0)
      continue; // no rank called it
    std::string row = cell(kNames[k], 27);
    for (int f = 0; f < kFields; ++f) {
      const char* format = f == 0 || f == 3 || f == 4 ? "%.0f/%.0f"
                           : f <= 2                   ? "%.4f/%.4f"
                                                      : "%.3f/%.3f";
      std::string text = Format(format, low(k, f), high(k, f));
      if (f == 1)
        text += low(k, 1) > 1e-4 ? Format(" %.2f", high(k, 1) / low(k, 1)) : std::string(" -");
      row += cell(text, f == 1 ? 25 : 18);
    }
    lines.push_back(row.substr(0, row.find_last_not_of(' ') + 1));
  }
  lines[1] = head.substr(0, head.find_last_not_of(' ') + 1);
  std::string text;
  for (const std::string& line : lines) {
    if (print)
      KRZEmitLine(line);
    text += line + '\n';
  }
  return text;
}
