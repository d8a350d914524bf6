// Fuzz target: one process, arbitrary counts and global numbers. The gather and the scatter
// either move every value as the relation says (last writer wins) or refuse with the check's
// line; AddressSanitizer watches that nothing is touched outside the arrays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include "CCOM_BroadTools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  auto next = [&]() -> int { return at < size ? data[at++] : 0; };
  const int nGlobal = next() % 40 - 2; // a few negative global dimensions too
  const int nLocal = next() % 44 - 2;
  const bool useDefault = next() % 5 == 0;

  std::vector<int> counts{nLocal};
  std::vector<int> row(static_cast<size_t>(nLocal > 0 ? nLocal : 0) + 1, 0);
  for (size_t i = 1; i < row.size(); ++i)
    row[i] = next() % 48 - 3;
  std::vector<int*> table{row.data()};

  std::stringbuf captured;
  std::streambuf* previous = std::cout.rdbuf(&captured);
  CCOM_BroadTools tools;
  tools.SetInitialize(0, 1, nullptr);
  if (useDefault)
    tools.SetMapRelation_DefaultRelation(nLocal);
  else
    tools.SetMapRelation(nGlobal, counts.data(), table.data());

  const int n = tools.GetDimension_Local(0); // a one-process run moves n_G items
  const int nG = tools.GetDimension_Global();
  std::vector<double> local(static_cast<size_t>(n > 0 ? n : 0) + 1, 0.0);
  for (size_t i = 1; i < local.size(); ++i)
    local[i] = 0.5 * static_cast<double>(i);
  double* global = nullptr;
  const int gathered = tools.GetGlobalArrayFromLocalArray(local.data(), global);
  double* back = nullptr;
  const int scattered = tools.GetLocalArrayFromGlobalArray(global, back);
  std::cout.rdbuf(previous);

  if (gathered == 0) {
    if (global != nullptr || captured.str().find("Check L2G DataCorrect Fail") == std::string::npos)
      std::abort();
  } else {
    const int* map = useDefault ? nullptr : row.data();
    std::vector<double> expected(static_cast<size_t>(nG) + 1, 0.0);
    for (int i = 1; i <= n; ++i)
      expected[static_cast<size_t>(map != nullptr ? map[i] : i)] = local[static_cast<size_t>(i)];
    for (int g = 0; g <= nG; ++g)
      if (global[g] != expected[static_cast<size_t>(g)])
        std::abort();
    if (scattered != 1)
      std::abort();
    for (int i = 1; i <= n; ++i)
      if (back[i] != expected[static_cast<size_t>(map != nullptr ? map[i] : i)])
        std::abort();
  }
  delete[] global;
  delete[] back;
  return 0;
}
