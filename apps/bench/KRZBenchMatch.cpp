#include "KRZBenchMatch.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZMeasure.h"
#include "face/CKRZFacesMappingA2B_Basic.h"

using namespace krz::measure;

namespace {

using Record = std::array<int, 5>;

// The faces of an n x n x n grid of hexahedra, every face once, nodes numbered x-fastest.
std::vector<Record> GridFaces(int n) {
  const int m = n + 1;
  auto node = [m](int i, int j, int k) { return 1 + i + m * (j + m * k); };
  std::vector<Record> faces;
  faces.reserve(static_cast<size_t>(3) * n * n * m);
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        faces.push_back(
            {4, node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k), node(i, j + 1, k)});
  for (int k = 0; k < n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i < n; ++i)
        faces.push_back(
            {4, node(i, j, k), node(i + 1, j, k), node(i + 1, j, k + 1), node(i, j, k + 1)});
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i <= n; ++i)
        faces.push_back(
            {4, node(i, j, k), node(i, j + 1, k), node(i, j + 1, k + 1), node(i, j, k + 1)});
  return faces;
}

std::vector<int*> Table(std::vector<Record>& records) {
  std::vector<int*> table(1, nullptr);
  for (Record& r : records)
    table.push_back(r.data());
  return table;
}

// The yardstick: each face's sorted node key, both tables sorted by key, then merged.
std::vector<int> SortMatch(const std::vector<Record>& a, const std::vector<Record>& b) {
  using Key = std::pair<std::array<int, 4>, int>;
  auto keys = [](const std::vector<Record>& faces) {
    std::vector<Key> out(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) {
      std::array<int, 4> k{0, 0, 0, 0};
      std::copy(faces[f].begin() + 1, faces[f].end(), k.begin()); // zeros past the count
      std::sort(k.begin(), k.end());
      out[f] = {k, static_cast<int>(f) + 1};
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::vector<Key> ka = keys(a), kb = keys(b);
  std::vector<int> a2b(a.size() + 1, 0);
  for (size_t i = 0, j = 0; i < ka.size() && j < kb.size();) {
    if (ka[i].first < kb[j].first)
      ++i;
    else if (kb[j].first < ka[i].first)
      ++j;
    else
      a2b[static_cast<size_t>(ka[i++].second)] = kb[j++].second;
  }
  return a2b;
}

} // namespace

int KRZBenchMatchGrid(int n, int reps) {
  std::vector<Record> a = GridFaces(n);
  std::vector<Record> b = a;
  std::mt19937_64 rng(7);
  std::shuffle(b.begin(), b.end(), rng);
  for (Record& r : b) { // every face's nodes rotated or reversed
    if (rng() % 2 == 0)
      std::rotate(r.begin() + 1, r.begin() + 1 + static_cast<long>(rng() % 4), r.end());
    else
      std::reverse(r.begin() + 1, r.end());
  }
  std::vector<int*> ta = Table(a), tb = Table(b);
  const int faces = static_cast<int>(a.size());

  std::vector<double> match, sortMatch;
  double peak = 0.0;
  int paired = 0;
  for (int r = 0; r < reps; ++r) {
    ResetPeak();
    const double base = StatusMiB("VmRSS:");
    auto t0 = Clock::now();
    CKRZFacesMappingA2B_Basic matching(ta.data(), faces, tb.data(), faces);
    matching.CreateMapping();
    match.push_back(Ms(t0, Clock::now()));
    peak = StatusMiB("VmHWM:") - base;
    paired = static_cast<int>(std::count_if(matching.m_pA2B.begin() + 1, matching.m_pA2B.end(),
                                            [](int v) { return v != 0; }));
    t0 = Clock::now();
    const std::vector<int> yard = SortMatch(a, b);
    sortMatch.push_back(Ms(t0, Clock::now()));
    if (yard != matching.m_pA2B)
      std::printf("note: the yardstick pairs differently\n");
  }
  std::printf("%-6s %9s %9s %10s %12s %6s %9s\n", "grid n", "faces", "paired", "match ms",
              "sort-key ms", "ratio", "peak MiB");
  const double m = Median(match), s = Median(sortMatch);
  std::printf("%-6d %9d %9d %10.1f %12.1f %6.2f %9.1f\n", n, faces, paired, m, s, m / s, peak);
  std::fflush(stdout);
  return paired == faces ? 0 : 1;
}

bool KRZBenchFaceSetup(CKRZCom& com, int myid, int nproc, long long quads, int reps,
                       const char* engine, bool header) {
  const int n = Count(quads, nproc, myid);
  std::vector<Record> records(static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i)
    records[static_cast<size_t>(i) - 1] = {4, 4 * i - 3, 4 * i - 2, 4 * i - 1, 4 * i};
  std::vector<int*> table = Table(records);
  // Rank 0's node map: local node i of rank p is global node i + 4 * (quads before p).
  std::vector<std::vector<int>> nodeRows;
  std::vector<int*> nodeMap;
  if (myid == 0) {
    long long before = 0;
    for (int p = 0; p < nproc; ++p) {
      const int np = Count(quads, nproc, p);
      nodeRows.emplace_back(static_cast<size_t>(4 * np) + 1, 0);
      for (int i = 1; i <= 4 * np; ++i)
        nodeRows.back()[static_cast<size_t>(i)] = static_cast<int>(i + 4 * before);
      before += np;
    }
    for (auto& r : nodeRows)
      nodeMap.push_back(r.data());
  }
  const int comm = com.m_nCommHandle;
  std::vector<double> setup, gather;
  for (int r = 0; r < reps; ++r) {
    CKRZL2GBroadTools_Face face;
    face.SetInitialize(myid, nproc, &com);
    com.Barrier(comm);
    auto t0 = Clock::now();
    face.SetLocalFace20(n, table.data());
    face.SetL2GMapRelation(myid == 0 ? nodeMap.data() : nullptr, nullptr);
    setup.push_back(Ms(t0, Clock::now()));
  }
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(n);
  std::vector<int> local(static_cast<size_t>(n) + 1, 1);
  int* global = nullptr;
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  for (int r = 0; r < reps; ++r) {
    com.Barrier(comm);
    auto t0 = Clock::now();
    tools.GetGlobalArrayFromLocalArray(local.data(), global);
    gather.push_back(Ms(t0, Clock::now()));
  }
  delete[] global;
  if (myid == 0) {
    if (header)
      std::printf("%-8s %5s %9s %10s %10s %7s\n", "engine", "ranks", "quads", "setup ms",
                  "gather ms", "ratio");
    const double s = Median(setup), g = Median(gather);
    std::printf("%-8s %5d %9lld %10.2f %10.2f %7.2f\n", engine, nproc, quads, s, g, s / g);
    std::fflush(stdout);
  }
  return true;
}
