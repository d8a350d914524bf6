// The demo's coupled run: two domains on their own METIS partitions, coupled across the shared
// plane through the library's public classes, every result checked against a serial computation
// on the unpartitioned meshes.
#ifndef KRZ_APPS_DEMO_KRZDEMOCOUPLING_H
#define KRZ_APPS_DEMO_KRZDEMOCOUPLING_H

#include <string>
#include <vector>

#include "CKRZCom.h"
#include "KRZCoupledPair.h"
#include "KRZStages.h"

struct KRZDemoOptions {
  int cells = 16; ///< cells along each edge of each box
  int steps = 10; ///< coupling steps
  int reps = 3;   ///< runs of each transfer kind (median reported)
};

/// What rank 0 measured: one row per stage, and the run's figures.
struct KRZDemoReport {
  std::vector<KRZStageRow> stages;
  int ranks = 0;
  int cellsPerDomain = 0;
  int interfaceFaces = 0;
  int pairedA = 0, pairedB = 0;
  int interfaceRanksA = 0, interfaceRanksB = 0; ///< ranks holding interface faces
  double peakMiB = 0;
  bool ok = false;
};

/// One rank of the demo; collective. Prints its stage lines on rank 0 and fills `report` there.
/// Returns true on every rank when every check passed on every rank.
bool KRZDemoRun(CKRZCom& com, int myid, int nproc, const KRZDemoOptions& options,
                KRZDemoReport& report);

/// The stages the demo and `krz3d couple` share once every rank holds both meshes and the sides'
/// mesh, isB and part are set: the local numbering, the objects (global face counts checked
/// against the meshes) and the A/B relation (every face's partner number checked against the
/// serial pairing, which `partner` receives (KRZPartners); `globalNumber` and `partnerNumber`
/// filled as KRZCheckPairing does). Collective.
void KRZSetUpPair(KRZStages& stages, CKRZCom& com, int myid, int nproc,
                  krz::coupling::KRZPairSide* side[2], CKRZA2BExchange_BoundaryFace& exchange,
                  std::vector<int> partner[2], std::vector<int> globalNumber[2],
                  std::vector<int> partnerNumber[2]);

/// The report as JSON.
std::string KRZDemoJson(const KRZDemoReport& report);

#endif
