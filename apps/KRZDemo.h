// krz3d demo: two coupled domains on METIS partitions, end to end, checked against a serial
// computation; prints one line per stage and writes the figures as JSON on request.
#ifndef KRZ_APPS_KRZDEMO_H
#define KRZ_APPS_KRZDEMO_H

#include <string>

#include "KRZDemoCoupling.h"

/// Runs the demo on the engine; returns the exit code (0 only when every check passed).
int KRZRunDemo(const std::string& engine, int ranks, const KRZDemoOptions& options,
               const std::string& json);

#endif
