// `krz3d couple`: a team's own meshes through the library's whole road. Rank 0 reads the meshes
// (Gmsh), merges the coinciding interface nodes of two independent meshes and partitions each
// domain with METIS; every rank then numbers its share locally and builds the node collection,
// face, boundary-face and A/B objects, the faces are paired, S steps of the demo's toy conjugate
// problem run, and every transfer kind moves known values; each stage is checked against a serial
// computation on the whole meshes. Optionally writes the interface and the partitions for
// ParaView.
#ifndef KRZ_APPS_COUPLE_KRZCOUPLE_H
#define KRZ_APPS_COUPLE_KRZCOUPLE_H

#include <string>
#include <vector>

#include "CKRZCom.h"
#include "KRZStages.h"

struct KRZCoupleOptions {
  std::string meshA, meshB; ///< one mesh with two physical volumes, or two meshes
  double tolerance = 1e-6;  ///< node merge, relative to the interface's bounding-box diagonal
  int steps = 5;            ///< coupling steps
  std::string vtuDirectory; ///< "" for no ParaView output
};

struct KRZCoupleSide {
  int cells = 0, faces = 0, paired = 0, ranksWithFaces = 0;
  std::vector<std::string> unpaired; ///< the first few: rank, local number, centroid
};

struct KRZCoupleReport {
  std::vector<KRZStageRow> stages;
  int ranks = 0;
  KRZCoupleSide side[2];
  double peakMiB = 0;
  std::string error; ///< why the run could not start ("" when it ran)
  bool ok = false;
};

/// One rank of the run; collective. Rank 0 prints the stage lines as they end and fills `report`.
/// Returns true on every rank when the meshes were read and every check passed.
bool KRZCoupleRun(CKRZCom& com, int myid, int nproc, const KRZCoupleOptions& options,
                  KRZCoupleReport& report);

/// The report as JSON.
std::string KRZCoupleJson(const KRZCoupleReport& report);

#endif
