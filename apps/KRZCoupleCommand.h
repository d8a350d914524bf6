// krz3d couple: a team's meshes through the library, checked, with a pairing report, progress
// lines on rank 0 and optional ParaView and JSON output.
#ifndef KRZ_APPS_KRZCOUPLECOMMAND_H
#define KRZ_APPS_KRZCOUPLECOMMAND_H

#include <string>

#include "KRZCouple.h"

/// Runs `krz3d couple` on the engine; returns the exit code (0: every check passed, 1: a check
/// failed or the meshes could not be used).
int KRZRunCouple(const std::string& engine, int ranks, const KRZCoupleOptions& options,
                 const std::string& json);

#endif
