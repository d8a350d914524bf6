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

namespace {

using Input = KRZFuzzInput;

struct Relation {
  std::vector<int> counts;
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  int nGlobal = 0;

  void Build(Input& in, int nproc) {
    counts.clear();
    rows.clear();
    table.clear();
    nGlobal = in.Next(24, 1);
    for (int p = 0; p < nproc; ++p) {
      counts.push_back(in.Next(8));
      rows.emplace_back(1, 0);
      for (int i = 1; i <= counts.back(); ++i)
        rows.back().push_back(in.Next(nGlobal + 1)); // in range when first handed in
    }
    for (auto& row : rows)
      table.push_back(row.data());
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  Relation relation, replacement;
  relation.Build(in, 2);
  replacement.Build(in, 2);
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
      tools.SetMapRelation(relation.nGlobal, relation.counts.data(), relation.table.data());
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
          tools.SetMapRelation(replacement.nGlobal, replacement.counts.data(),
                               replacement.table.data());
          break;
        default: break;
        }
      }
      const bool nullLocal = round == 1 && edit == 3 && myid == editRank;
      double* global = nullptr;
      const int gathered =
          tools.GetGlobalArrayFromLocalArray(nullLocal ? nullptr : local.data(), global);
      if (myid == 0 && gathered == 1 && round == 0) {
        for (int p = 0; p < nproc; ++p) // the last writer of each element, item by item
          for (int i = 1; i <= relation.counts[static_cast<size_t>(p)]; ++i) {
            const int g = relation.rows[static_cast<size_t>(p)][static_cast<size_t>(i)];
            bool last = true;
            for (int q = p; q < nproc && last; ++q)
              for (int j = q == p ? i + 1 : 1; j <= relation.counts[static_cast<size_t>(q)]; ++j)
                if (relation.rows[static_cast<size_t>(q)][static_cast<size_t>(j)] == g)
                  last = false;
            if (last && global[g] != 100.0 * p + i)
              std::abort();
          }
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
