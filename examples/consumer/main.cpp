// A gather on 2 in-process ranks through the installed library.
#include <CCOM_BroadTools.h>
#include <KRZRunRanks.h>

#include <iostream>

int main() {
  bool ok = false;
  const KRZRunResult result = KRZRunRanks(2, [&](CKRZCom& com, int myid, int nproc) {
    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation_DefaultRelation(myid == 0 ? 3 : 2); // global items 1-3, then 4-5
    double local[4] = {0.0, 10.0 * myid + 1, 10.0 * myid + 2, 10.0 * myid + 3};
    double* global = nullptr;
    tools.GetGlobalArrayFromLocalArray(local, global);
    if (myid == 0) {
      ok = global[1] == 1 && global[3] == 3 && global[4] == 11 && global[5] == 12;
      std::cout << "consumer: gathered " << global[1] << ' ' << global[2] << ' ' << global[3] << ' '
                << global[4] << ' ' << global[5] << std::endl;
    }
    delete[] global;
  });
  if (!result.ok)
    std::cerr << result.report << std::endl;
  return result.ok && ok ? 0 : 1;
}
