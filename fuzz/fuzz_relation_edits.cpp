// Fuzz target: two in-process ranks, a relation from the input, then edits between transfers as
// a careless caller makes them on rank 0 (entries edited in place, a count edited in place, a new
// relation with other counts, a null array). Every rank must complete every call, nothing may be
// touched outside an array (AddressSanitizer), and a transfer that rank 0 reports as done must
// have placed every item as the relation says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZFuzzInput.h"
#include "KRZRunRanks.h"
#include "testing/KRZTestRelation.h"

using namespace krz::testing;

namespace {

using Input = KRZFuzzInput;

// Up to 24 global elements, up to 8 items per rank, every number in range when first handed in.
KRZTestRelation FromInput(Input& in, int nproc) {
  const int nGlobal = in.Next(24, 1);
  Rows rows;
  for (int p = 0; p < nproc; ++p) {
    rows.emplace_back(1, 0);
    const int n = in.Next(8);
    for (int i = 1; i <= n; ++i)
      rows.back().push_back(in.Next(nGlobal + 1));
  }
  return KRZTestRelation(nGlobal, rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  KRZTestRelation relation = FromInput(in, 2);
  KRZTestRelation replacement = FromInput(in, 2);
  const int edit = in.Next(5);
  const int editRank = in.Next(2);
  const int editItem = in.Next(8, 1);
  const int editValue = in.Next(40, -8);
  KRZRunOptions options;
  options.captureOutput = true;
  const KRZRunResult result = KRZRunRanks(2, [&](CKRZCom& com, int myid, int nproc) {
    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    if (myid == 0)
      tools.SetMapRelation(relation.nGlobal, relation.Counts(), relation.Table());
    const int n = relation.counts[static_cast<size_t>(myid)];
    std::vector<double> local(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = 100.0 * myid + i;
    for (int round = 0; round < 2; ++round) {
      if (round == 1 && myid == 0) {
        std::vector<int>& row = relation.rows[static_cast<size_t>(editRank)];
        switch (edit) {
        case 0: // an entry edited in place, perhaps out of range
          if (editItem < static_cast<int>(row.size()))
            row[static_cast<size_t>(editItem)] = editValue;
          break;
        case 1: // a count edited in place (the row keeps its length)
          relation.counts[static_cast<size_t>(editRank)] =
              std::min(editItem - 1, static_cast<int>(row.size()) - 1);
          break;
        case 2: // a new relation with other counts
          tools.SetMapRelation(replacement.nGlobal, replacement.Counts(), replacement.Table());
          break;
        default: break;
        }
      }
      const bool nullLocal = round == 1 && edit == 3 && myid == editRank;
      double* global = nullptr;
      const int gathered =
          tools.GetGlobalArrayFromLocalArray(nullLocal ? nullptr : local.data(), global);
      if (myid == 0 && gathered == 1 && round == 0) {
        std::vector<double> expected(static_cast<size_t>(relation.nGlobal) + 1, 0.0);
        LiteralGather(relation, expected, [](int p, int i) { return 100.0 * p + i; });
        for (int g = 0; g <= relation.nGlobal; ++g)
          if (global[g] != expected[static_cast<size_t>(g)])
            std::abort();
      }
      double* back = local.data();
      tools.GetLocalArrayFromGlobalArray(global, back);
      delete[] global;
    }
  });
  if (!result.ok)
    std::abort(); // a mismatch or a hang between the ranks
  return 0;
}
