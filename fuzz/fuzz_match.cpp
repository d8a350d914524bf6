// Fuzz target: arbitrary face tables (node counts 0..6, any node numbers, duplicates) through the
// real face matching and through the plain transcription of its scan. The maps must be equal;
// AddressSanitizer watches that nothing reads outside the five-slot records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "KRZReferenceMatch.h"
#include "face/CKRZFacesMappingA2B_Basic.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  int Next() { return at < size ? data[at++] : 0; }
};

// A table of records of exactly five ints: count k in 0..6 (k > 4 must never be read past slot
// 4), nodes from -2 to 13.
struct Table {
  std::vector<std::unique_ptr<int[]>> records;
  std::vector<int*> pointers{nullptr};
  Table(Reader& in, int faces) {
    for (int f = 0; f < faces; ++f) {
      records.emplace_back(new int[5]());
      int* r = records.back().get();
      r[0] = in.Next() % 7;
      for (int j = 1; j <= 4 && j <= r[0]; ++j)
        r[j] = in.Next() % 16 - 2;
      pointers.push_back(r);
    }
  }
  int Count() const { return static_cast<int>(records.size()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::streambuf* const silenced = std::cout.rdbuf(nullptr); // the lines go nowhere
  (void)silenced;
  Reader in{data, size};
  const int nA = in.Next() % 24;
  const int nB = in.Next() % 24;
  Table a(in, nA), b(in, nB);
  CKRZFacesMappingA2B_Basic matching(a.pointers.data(), a.Count(), b.pointers.data(), b.Count());
  matching.CreateMapping();
  const KRZReferenceMaps reference =
      KRZReferenceMatch(a.pointers.data(), a.Count(), b.pointers.data(), b.Count());
  if (matching.m_pA2B != reference.a2b || matching.m_pB2A != reference.b2a)
    std::abort();
  return 0;
}
