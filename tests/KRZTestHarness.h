// Multi-rank tests, written once and run on both engines.
//
//   KRZ_RANKS_TEST(Suite, Name) { ... body with com, myid, nproc ... }
//     threads binary: runs the body on 1 to KRZ_TEST_THREAD_RANKS (5) in-process ranks, each
//                     time twice: through the engine (the posting route), then through a
//                     communicator with only the six blocking operations (the blocking route);
//     MPI binary:     runs it on the MPI world (the suite is run under mpiexec -n 1..8; with
//                     KRZ_TEST_ROUTE=blocking through the six blocking operations only).
//   KRZ_RANKS_TEST_N(Suite, Name, N): only with exactly N ranks (other MPI sizes skip it).
//
// A test fails when any rank fails. Each rank's standard output is captured; a body reads what
// it printed so far with KRZTakeOutput().
#ifndef KRZ_TESTS_KRZTESTHARNESS_H
#define KRZ_TESTS_KRZTESTHARNESS_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CKRZCom.h"

using KRZTestBody = std::function<void(CKRZCom& com, int myid, int nproc)>;

/// Runs `body` on the engine of this test binary; `ranks` 0 means "every rank count".
void KRZRunTestBody(const KRZTestBody& body, int ranks);

/// Returns and clears what the calling rank printed to std::cout so far.
std::string KRZTakeOutput();

/// Splits text into lines (without their newline).
std::vector<std::string> KRZLines(const std::string& text);

#define KRZ_RANKS_TEST_N(suite, name, ranks)                                                       \
  static void suite##_##name##_Body(CKRZCom& com, int myid, int nproc);                            \
  TEST(suite, name) { KRZRunTestBody(suite##_##name##_Body, ranks); }                              \
  static void suite##_##name##_Body([[maybe_unused]] CKRZCom& com, [[maybe_unused]] int myid,      \
                                    [[maybe_unused]] int nproc)

#define KRZ_RANKS_TEST(suite, name) KRZ_RANKS_TEST_N(suite, name, 0)

#endif
