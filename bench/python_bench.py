#!/usr/bin/env python3
"""Python overhead of the module: gathers and scatters of float64 through krz3dcomtools, each
call timed twice, around the Python call and inside the library by its own performance log.

    python3 bench/python_bench.py [--ranks 2] [--reps 7]       # in-process ranks
    mpiexec -n 2 python3 bench/python_bench.py --engine mpi    # MPI

Prints, for 8,000,000 items in all and for 100 items, the median time of each call inside the
library (C++) and around it (Python), the overhead in percent and in microseconds per call.
"""
import argparse
import statistics
import time

import numpy as np

import krz3dcomtools as krz

GATHER, SCATTER = "CCOM_BroadTools gather", "CCOM_BroadTools scatter"


def timed(call, operation):
    """Seconds around one call, and inside the library as its log counted them."""
    before = krz.log_entries()[operation]["seconds"]
    t0 = time.perf_counter()
    call()
    t1 = time.perf_counter()
    return t1 - t0, krz.log_entries()[operation]["seconds"] - before


def measure(com, myid, nproc, total, reps, rows):
    n_local = max(1, total // nproc)
    local = np.ones(n_local + 1)
    glob = np.zeros(n_local * nproc + 1) if myid == 0 else None
    tools = krz.CCOM_BroadTools()
    tools.SetInitialize(myid, nproc, com)
    tools.SetMapRelation_DefaultRelation(n_local)
    times = {GATHER: ([], []), SCATTER: ([], [])}
    krz.log_view(True)
    for r in range(reps + 1):  # the first round sets up and is not counted
        for operation, call in ((GATHER, lambda: tools.GetGlobalArrayFromLocalArray(local, glob)),
                                (SCATTER, lambda: tools.GetLocalArrayFromGlobalArray(glob, local))):
            outside, inside = timed(call, operation)
            if r:
                times[operation][0].append(outside)
                times[operation][1].append(inside)
    krz.log_view(False)
    if myid == 0:
        for what, operation in (("gather", GATHER), ("scatter", SCATTER)):
            p, c = (statistics.median(t) for t in times[operation])
            rows.append((n_local * nproc, nproc, what, c, p, 100.0 * (p - c) / c, 1e6 * (p - c)))


def report(engine, rows):
    print(f"engine {engine}: median of each side (seconds), Python overhead")
    print("| items | ranks | call | C++ | Python | overhead % | overhead us/call |")
    print("|---|---|---|---|---|---|---|")
    for items, nproc, what, c, p, pct, us in rows:
        print(f"| {items} | {nproc} | {what} | {c:.6f} | {p:.6f} | {pct:+.1f} | {us:+.1f} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--engine", choices=["threads", "mpi"], default="threads")
    parser.add_argument("--ranks", type=int, default=2)
    parser.add_argument("--reps", type=int, default=7)
    args = parser.parse_args()
    rows = []

    def body(com, myid, nproc):
        measure(com, myid, nproc, 8_000_000, args.reps, rows)
        measure(com, myid, nproc, 100, 200, rows)

    if args.engine == "threads":
        krz.run_ranks(args.ranks, body)
        report(f"threads, {args.ranks} ranks", rows)
    else:
        from mpi4py import MPI

        com = krz.MPICom(MPI.COMM_WORLD)
        body(com, MPI.COMM_WORLD.rank, MPI.COMM_WORLD.size)
        if MPI.COMM_WORLD.rank == 0:
            report(f"mpi, {MPI.COMM_WORLD.size} ranks", rows)
        del com


if __name__ == "__main__":
    main()
