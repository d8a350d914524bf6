// krz3d-bench-petsc --exchange: the A/B exchange's direct route against PETSc's VecScatter built
// from the same composed relation, the way a PETSc team would write this coupling: domain A's
// local faces are one distributed vector, B's another, and every B face with a partner takes the
// value of its partner's A face (an index set pair from the meshes every rank holds).
#include "KRZBenchPETScExchange.h"

#include <petscvec.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZCom_MPI.h"
#include "KRZBenchExchange.h"
#include "KRZMeasure.h"

using namespace krz::measure;
using namespace krz::coupling;

namespace {

// Medians of `reps` runs of `first` and `second`, taken in turns (each between barriers), so that
// neither gets the machine's quieter moments alone.
std::pair<double, double> Steady(MPI_Comm comm, int reps, const std::function<void()>& first,
                                 const std::function<void()>& second) {
  std::vector<double> times[2];
  for (int r = 0; r < reps; ++r)
    for (int k = 0; k < 2; ++k) {
      MPI_Barrier(comm);
      const auto t0 = Clock::now();
      (k == 0 ? first : second)();
      times[k].push_back(Ms(t0, Clock::now()));
    }
  return {Median(times[0]), Median(times[1])};
}

// Every rank's local face count of `side` and where its faces start in the distributed vector.
std::vector<PetscInt> Offsets(const KRZPairSide& side, int nproc) {
  std::vector<PetscInt> first(static_cast<size_t>(nproc) + 1, 0);
  for (int p = 0; p < nproc; ++p)
    first[static_cast<size_t>(p) + 1] =
        first[static_cast<size_t>(p)] + static_cast<PetscInt>(side.FacesOf(p).size());
  return first;
}

// Position (1-based) of every mesh face among its rank's local faces.
std::vector<int> LocalIndex(const KRZPairSide& side, int nproc) {
  std::vector<int> local(static_cast<size_t>(side.mesh->Faces()) + 1, 0);
  for (int p = 0; p < nproc; ++p) {
    const std::vector<int> list = side.FacesOf(p);
    for (size_t i = 0; i < list.size(); ++i)
      local[static_cast<size_t>(list[i])] = static_cast<int>(i) + 1;
  }
  return local;
}

} // namespace

int KRZBenchPETScExchange(MPI_Comm comm, long long faces, int reps) {
  CKRZCom_MPI com(comm);
  const int myid = com.Rank(), nproc = com.Size();
  const int m = static_cast<int>(std::lround(std::sqrt(static_cast<double>(faces))));
  const KRZCoupleDomain mesh[2] = {KRZBoxMesh(1, m, false), KRZBoxMesh(1, m, true)};
  KRZPairSide a, b;
  KRZBenchSlab(a, mesh[0], m, myid, nproc, false);
  KRZBenchSlab(b, mesh[1], m, myid, nproc, true);
  a.SetUp(com, myid, nproc);
  b.SetUp(com, myid, nproc);
  CKRZA2BExchange_BoundaryFace exchange;
  KRZPairDomains(exchange, a, b);

  std::vector<double> faceA(static_cast<size_t>(a.Faces()) + 1, 0.0);
  for (int i = 1; i <= a.Faces(); ++i)
    faceA[static_cast<size_t>(i)] = 0.5 * a.faces[static_cast<size_t>(i)];
  std::vector<double> faceB(static_cast<size_t>(b.Faces()) + 1, 0.0);
  auto library = [&] { exchange.GetFaceValue_A2B_FromFace2Face(faceA.data(), faceB.data()); };
  library(); // builds and hands out the plan

  // PETSc: x holds A's local faces, y B's; the scatter takes each paired B face from its partner.
  const std::vector<PetscInt> firstA = Offsets(a, nproc), firstB = Offsets(b, nproc);
  const std::vector<int> localA = LocalIndex(a, nproc);
  const std::vector<int> partner = KRZPartners(mesh[1], mesh[0]);
  std::vector<PetscInt> from, to;
  for (int j = 1; j <= b.Faces(); ++j) {
    const int g = partner[static_cast<size_t>(b.faces[static_cast<size_t>(j)])];
    if (g == 0)
      continue;
    from.push_back(firstA[static_cast<size_t>(a.RankOf(g))] + localA[static_cast<size_t>(g)] - 1);
    to.push_back(firstB[static_cast<size_t>(myid)] + j - 1);
  }
  Vec x, y;
  VecCreateMPIWithArray(comm, 1, a.Faces(), PETSC_DECIDE, faceA.data() + 1, &x);
  std::vector<double> petscB(static_cast<size_t>(b.Faces()) + 1, 0.0);
  VecCreateMPIWithArray(comm, 1, b.Faces(), PETSC_DECIDE, petscB.data() + 1, &y);
  IS isFrom, isTo;
  ISCreateGeneral(comm, static_cast<PetscInt>(from.size()), from.data(), PETSC_COPY_VALUES,
                  &isFrom);
  ISCreateGeneral(comm, static_cast<PetscInt>(to.size()), to.data(), PETSC_COPY_VALUES, &isTo);
  VecScatter scatter;
  MPI_Barrier(comm);
  const auto t0 = Clock::now();
  VecScatterCreate(x, isFrom, y, isTo, &scatter);
  const double createMs = Ms(t0, Clock::now());
  auto petsc = [&] {
    VecScatterBegin(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
    VecScatterEnd(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
  };
  petsc();
  const auto [libraryMs, petscMs] = Steady(comm, reps, library, petsc);
  int same = std::equal(faceB.begin() + 1, faceB.end(), petscB.begin() + 1) ? 1 : 0, all = 0;
  MPI_Allreduce(&same, &all, 1, MPI_INT, MPI_MIN, comm);
  if (myid == 0)
    std::printf("A/B face to face, %d ranks, %lld faces per domain, medians of %d: library direct "
                "route %.2f ms, PETSc VecScatter %.2f ms (VecScatterCreate %.1f ms), ratio %.2f; "
                "arrays %s\n",
                nproc, static_cast<long long>(m) * m, reps, libraryMs, petscMs, createMs,
                libraryMs / petscMs, all != 0 ? "identical" : "DIFFER");
  VecScatterDestroy(&scatter);
  ISDestroy(&isFrom);
  ISDestroy(&isTo);
  VecDestroy(&x);
  VecDestroy(&y);
  return all != 0 ? 0 : 1;
}
