/// \file
/// KRZLineSink: where the library's diagnostic lines go.
///
/// By default every line of the library (its warnings, the debug switch's chatter, the self-test's
/// report) goes to standard output, whole, with its newline, as it always did. A program with a
/// logger of its own routes them there instead with KRZSetLineSink: from then on each line is
/// handed to the sink, once, without its newline, with the rank that printed it.
///
/// The rank of a line is the one its thread was given: each in-process rank of KRZRunRanks gets
/// its own, CKRZCom_MPI gives the thread that makes it its rank in that communicator, and a program
/// may set it with KRZSetLineRank; -1 where none was given.
#ifndef KRZCOM_KRZLINESINK_H
#define KRZCOM_KRZLINESINK_H

#include <string>

#include "krzcom_export.h"

/// A line of the library: `rank` the rank that printed it (-1: not known), `line` the text without
/// its newline (valid during the call only), `user` the pointer given with the sink.
using KRZLineSinkFunction = void (*)(int rank, const char* line, void* user);

/// Not collective; process-wide. Routes every later line of the library, from every thread, to
/// `sink`, called from the thread that printed the line. With in-process ranks (KRZRunRanks)
/// several ranks may call it at the same time, so it must be thread-safe there; the sink must not
/// call the library. Null goes back to standard output. A line printed while the sink is being
/// changed goes whole to the old or to the new one; a line whose sink throws goes to standard
/// output.
KRZCOM_EXPORT void KRZSetLineSink(KRZLineSinkFunction sink, void* user);

/// Not collective. The rank the calling thread's lines are attributed to from now on.
KRZCOM_EXPORT void KRZSetLineRank(int rank);
/// The rank the calling thread's lines are attributed to (-1: none given).
KRZCOM_EXPORT int KRZLineRank();

/// One line of the library, without its newline: to the sink, or to std::cout with a newline and
/// a flush. Used by the library's own code (CKRZLine); callers use KRZSetLineSink.
KRZCOM_EXPORT void KRZEmitLine(const std::string& line);

#endif
