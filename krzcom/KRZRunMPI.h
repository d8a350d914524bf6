/// \file
/// KRZRunOnMPIWorld: runs one function on the ranks of MPI_COMM_WORLD, the MPI counterpart of
/// KRZRunRanks. Collective over MPI_COMM_WORLD; MPI must be initialized.
///
///   auto body = [](CKRZCom& com, int myid, int nproc) { ...; return ok; };
///   KRZMPIRunResult r = KRZRunOnMPIWorld(body, true);
///
/// Each process gets a CKRZCom_MPI on its own duplicate of MPI_COMM_WORLD. With `capture`, what
/// the function writes to std::cout is kept in `output` instead of printed. `ok` is true on every
/// rank when the function returned true on every rank.
#ifndef KRZCOM_KRZRUNMPI_H
#define KRZCOM_KRZRUNMPI_H

#include <functional>
#include <string>

#include "CKRZCom.h"
#include "krzcommpi_export.h"

/// What KRZRunOnMPIWorld reports.
struct KRZMPIRunResult {
  bool ok = true;     ///< every rank's function returned true
  bool mine = true;   ///< this rank's function returned true
  std::string output; ///< this rank's captured std::cout, when captured
};

/// The function every rank runs: true when its checks passed.
using KRZMPIRankFunction = std::function<bool(CKRZCom& com, int myid, int nproc)>;

/// Collective over MPI_COMM_WORLD: runs `fn` on every rank (see above).
KRZCOMMPI_EXPORT KRZMPIRunResult KRZRunOnMPIWorld(const KRZMPIRankFunction& fn, bool capture);

#endif
