#include "KRZDemo.h"

#include <iostream>
#include <sstream>
#include <vector>

#include "CCOM_BroadTools.h"

// Every rank owns 3 + myid items. Rank 0 numbers them in reverse process order (the last
// rank's items first), gathers the values 100*rank + item, scatters the doubled global array
// back and every rank checks what it received.
bool KRZDemoTransfer(CKRZCom& com, int myid, int nproc) {
  std::vector<int> counts(static_cast<size_t>(nproc));
  int nGlobal = 0;
  for (int p = 0; p < nproc; ++p)
    nGlobal += counts[static_cast<size_t>(p)] = 3 + p;
  std::vector<std::vector<int>> rows(static_cast<size_t>(nproc));
  std::vector<int*> table;
  int next = nGlobal;
  for (int p = 0; p < nproc; ++p) {
    rows[static_cast<size_t>(p)].assign(static_cast<size_t>(counts[static_cast<size_t>(p)]) + 1, 0);
    for (int i = 1; i <= counts[static_cast<size_t>(p)]; ++i)
      rows[static_cast<size_t>(p)][static_cast<size_t>(i)] = next--;
    table.push_back(rows[static_cast<size_t>(p)].data());
  }

  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(nGlobal, counts.data(), table.data());

  const int n = counts[static_cast<size_t>(myid)];
  std::vector<double> local(static_cast<size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = 100.0 * myid + i;
  double* global = nullptr;
  bool ok = tools.GetGlobalArrayFromLocalArray(local.data(), global) == 1;
  if (myid == 0 && global != nullptr) {
    std::ostringstream line;
    line << "gathered on rank 0 (" << nGlobal << " items):";
    for (int g = 1; g <= nGlobal; ++g) {
      line << ' ' << global[g];
      global[g] *= 2.0;
    }
    std::cout << line.str() << std::endl;
  }

  double* back = nullptr;
  ok = tools.GetLocalArrayFromGlobalArray(global, back) == 1 && ok;
  std::ostringstream line;
  line << "rank " << myid << " received:";
  for (int i = 1; i <= n; ++i) {
    line << ' ' << back[i];
    ok = ok && back[i] == 2.0 * local[static_cast<size_t>(i)];
  }
  line << (ok ? "  (ok)" : "  (WRONG)");
  std::cout << line.str() << std::endl;
  delete[] back;
  delete[] global;
  return ok;
}
