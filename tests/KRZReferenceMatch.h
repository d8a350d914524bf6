// A plain, step-by-step transcription of the face matching's scan, kept by the tests and the
// fuzzer as the reference the real matching must agree with on every input.
#ifndef KRZ_TESTS_KRZREFERENCEMATCH_H
#define KRZ_TESTS_KRZREFERENCEMATCH_H

#include <algorithm>
#include <vector>

struct KRZReferenceMaps {
  std::vector<int> a2b, b2a;
};

// The scan written out literally: a list per node with its placeholder, a flag per node, the
// pair test counting found slots. Slots that cannot index the node lists are left out, and
// faces with a node count outside 0..4 take no part, as in the library.
inline KRZReferenceMaps KRZReferenceMatch(int** A, int nA, int** B, int nB) {
  auto valid = [](int* f) { return f[0] >= 0 && f[0] <= 4; };
  int M = 0;
  for (int i = 1; i <= nA; ++i)
    if (valid(A[i]))
      for (int j = 1; j <= A[i][0]; ++j)
        M = std::max(M, A[i][j]);
  KRZReferenceMaps r{std::vector<int>(static_cast<size_t>(nA) + 1, 0),
                     std::vector<int>(static_cast<size_t>(nB) + 1, 0)};
  std::vector<char> flag(static_cast<size_t>(M) + 1, 0);
  std::vector<std::vector<int>> lists(static_cast<size_t>(M) + 1);
  for (int n = 1; n <= M; ++n)
    lists[static_cast<size_t>(n)].push_back(0);
  for (int i = 1; i <= nA; ++i)
    if (valid(A[i]))
      for (int j = 1; j <= A[i][0]; ++j)
        if (A[i][j] >= 1 && A[i][j] <= M) {
          lists[static_cast<size_t>(A[i][j])].push_back(i);
          flag[static_cast<size_t>(A[i][j])] = 1;
        }
  for (int m = 1; m <= nB; ++m)
    if (valid(B[m]))
      for (int j = 1; j <= B[m][0]; ++j)
        if (B[m][j] >= 1 && B[m][j] <= M)
          lists[static_cast<size_t>(B[m][j])].push_back(-m);
  for (int n = 1; n <= M; ++n) {
    if (flag[static_cast<size_t>(n)] != 1)
      continue;
    const auto& list = lists[static_cast<size_t>(n)];
    for (size_t a = 1; a < list.size(); ++a) {
      if (list[a] <= 0)
        continue;
      const int fa = list[a];
      for (size_t b = a + 1; b < list.size(); ++b) {
        if (list[b] >= 0)
          continue;
        const int fb = -list[b];
        if (r.b2a[static_cast<size_t>(fb)] != 0 || B[fb][0] != A[fa][0])
          continue;
        int found = 0;
        for (int j = 1; j <= A[fa][0]; ++j) {
          bool hit = false;
          for (int t = 1; t <= B[fb][0]; ++t)
            if (B[fb][t] == A[fa][j])
              hit = true;
          found += hit ? 1 : 0;
        }
        if (found == A[fa][0]) {
          r.b2a[static_cast<size_t>(fb)] = fa;
          r.a2b[static_cast<size_t>(fa)] = fb;
          break;
        }
      }
    }
  }
  return r;
}

#endif
