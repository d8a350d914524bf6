// Fuzz target: the A/B exchange's inputs on two in-process ranks. Face records from the input
// (node counts and nodes, valid or not), cell ids (negative ones too), a relation handed in (in
// range or not) or found by matching, a face object set up again between transfers, boundary-face
// objects missing on a rank; then every transfer in double and int. Every rank must complete
// every call, and nothing may be touched outside an array (AddressSanitizer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZFuzzInput.h"
#include "KRZRunRanks.h"

namespace {

using Input = KRZFuzzInput;

constexpr int kCells = 6; // cell arrays hold cells 0..kCells

struct Side {
  std::vector<std::vector<int>> records; // per local face: 5 ints
  std::vector<int*> table;
  std::vector<int> owner, neighbor;
  void Build(Input& in) {
    const int n = in.Next(5);
    records.assign(static_cast<size_t>(n) + 1, std::vector<int>(5, 0));
    table.assign(static_cast<size_t>(n) + 1, nullptr);
    owner.assign(static_cast<size_t>(n) + 1, 0);
    neighbor.assign(static_cast<size_t>(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
      std::vector<int>& r = records[static_cast<size_t>(i)];
      r[0] = in.Next(7, -1); // 1..4 is a face; the rest must be refused
      for (int k = 1; k <= 4; ++k)
        r[static_cast<size_t>(k)] = in.Next(10);
      table[static_cast<size_t>(i)] = r.data();
      owner[static_cast<size_t>(i)] = in.Next(kCells + 3, -2);
      neighbor[static_cast<size_t>(i)] = in.Next(kCells + 3, -2);
    }
  }
  int Count() const { return static_cast<int>(records.size()) - 1; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  Side sides[2][2]; // [rank][domain]
  for (auto& rank : sides)
    for (auto& side : rank)
      side.Build(in);
  const bool givenRelation = in.Next(2) == 1;
  std::vector<int> a2b(16), b2a(16);
  for (int& v : a2b)
    v = in.Next(12, -1);
  for (int& v : b2a)
    v = in.Next(12, -1);
  const int missingBoundary = in.Next(3); // 2: none missing
  const int setUpAgain = in.Next(3);      // 2: none set up again
  KRZRunOptions options;
  options.captureOutput = true;
  const KRZRunResult result = KRZRunRanks(2, [&](CKRZCom& com, int myid, int nproc) {
    Side* mine = sides[myid];
    CKRZL2GBroadTools_Face face[2];
    CKRZL2GBroadTools_BoundaryFace boundary[2];
    for (int d = 0; d < 2; ++d) {
      face[d].SetInitialize(myid, nproc, &com);
      face[d].SetLocalFace20(mine[d].Count(), mine[d].table.data());
      face[d].SetL2GMapRelation(nullptr, nullptr);
      if (missingBoundary != myid) {
        boundary[d].SetBoundaryFaceRelation(&face[d]);
        for (int i = 1; i <= mine[d].Count(); ++i) { // ids beyond the cell arrays are the caller's
          mine[d].owner[static_cast<size_t>(i)] %= kCells + 1;
          mine[d].neighbor[static_cast<size_t>(i)] %= kCells + 1;
        }
        boundary[d].SetLocalFace_BoundaryCellID(mine[d].Count(), mine[d].owner.data(),
                                                mine[d].neighbor.data());
      }
    }
    CKRZA2BExchange_BoundaryFace exchange;
    exchange.SetL2G_Face(&face[0], &face[1]);
    exchange.SetL2G_BoundaryFace(&boundary[0], &boundary[1]);
    const bool fits = face[0].GetFaceNumber_Global() < 16 && face[1].GetFaceNumber_Global() < 16;
    if (givenRelation && fits)
      exchange.SetA2BRelation(a2b.data(), b2a.data());
    else
      exchange.SetA2BRelation(nullptr, nullptr);
    if (setUpAgain < 2) {
      face[setUpAgain].SetLocalFace20(mine[setUpAgain].Count(), mine[setUpAgain].table.data());
      face[setUpAgain].SetL2GMapRelation(nullptr, nullptr);
    }
    std::vector<double> cells[2], faces[2];
    std::vector<int> icells[2], ifaces[2];
    for (int d = 0; d < 2; ++d) {
      cells[d].assign(kCells + 1, 1.0 + d);
      icells[d].assign(kCells + 1, 1 + d);
      faces[d].assign(static_cast<size_t>(mine[d].Count()) + 1, 3.0 + d);
      ifaces[d].assign(static_cast<size_t>(mine[d].Count()) + 1, 3 + d);
    }
    exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(cells[0].data(), cells[1].data());
    exchange.GetBoundaryCellValue_B2A_FromOwner2Neighbor(icells[1].data(), icells[0].data());
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(cells[0].data(), cells[1].data());
    exchange.GetBoundaryCellValue_A2B_FromFace2Neighbor(faces[0].data(), cells[1].data());
    exchange.GetBoundaryCellValue_B2A_FromFace2Neighbor(ifaces[1].data(), icells[0].data());
    exchange.GetFaceValue_A2B_FromOwner2Face(cells[0].data(), faces[1].data());
    exchange.GetFaceValue_A2B_FromNeighbor2Face(icells[0].data(), ifaces[1].data());
    exchange.GetFaceValue_B2A_FromOwner2Face(cells[1].data(), faces[0].data());
    exchange.GetFaceValue_B2A_FromNeighbor2Face(icells[1].data(), ifaces[0].data());
    exchange.GetFaceValue_A2B_FromFace2Face(faces[0].data(), faces[1].data());
    exchange.GetFaceValue_B2A_FromFace2Face(ifaces[1].data(), ifaces[0].data());
  });
  if (!result.ok)
    std::abort();
  return 0;
}
