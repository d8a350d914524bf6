// CKRZOutputRouter: a stream buffer that sends each attached thread's text to a buffer of its
// own and everything else to the stream buffer it replaced.
//
// Installed on std::cout by KRZRunRanks when output is captured, so that the lines of every
// in-process rank can be read back separately. Thread-safe. Install and restore are RAII.
#ifndef KRZCOM_KRZOUTPUTROUTER_H
#define KRZCOM_KRZOUTPUTROUTER_H

#include <map>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include "krzcom_export.h"

class KRZCOM_EXPORT CKRZOutputRouter : public std::streambuf {
public:
  /// Installs itself on `stream` until destroyed.
  explicit CKRZOutputRouter(std::ostream& stream);
  ~CKRZOutputRouter() override;
  CKRZOutputRouter(const CKRZOutputRouter&) = delete;
  CKRZOutputRouter& operator=(const CKRZOutputRouter&) = delete;

  /// Routes the calling thread's text to a buffer of its own from now on.
  void Attach();
  /// Stops routing the calling thread and returns what it wrote that was not taken yet.
  std::string Detach();
  /// Returns and clears what the calling thread wrote so far (empty if not attached).
  std::string Take();

protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

private:
  std::ostream& m_Stream;
  std::streambuf* m_pPrevious;
  std::mutex m_Mutex;
  std::map<std::thread::id, std::string> m_Buffers;
};

/// Returns and clears what the calling rank wrote to std::cout so far, when std::cout is
/// captured: by a CKRZOutputRouter (in-process ranks) or by a std::stringbuf (one process).
/// Empty when std::cout is not captured.
KRZCOM_EXPORT std::string KRZTakeCapturedOutput();

#endif
