#!/usr/bin/env python3
"""Python overhead of the module: gathers and scatters of float64 through krz3dcomtools against
the same transfers made in C++ on the same communicator, in one run.

    python3 bench/python_bench.py [--ranks 2] [--reps 7]       # in-process ranks
    mpiexec -n 2 python3 bench/python_bench.py --engine mpi    # MPI

Prints, for 8,000,000 items in all and for 100 items, the median gather and scatter time of each
side, the overhead in percent and in microseconds per call.
"""
import argparse
import statistics
import time

import numpy as np

import krz3dcomtools as krz


def python_times(com, myid, nproc, local, glob, reps):
    n_local = local.shape[0] - 1
    tools = krz.CCOM_BroadTools()
    tools.SetInitialize(myid, nproc, com)
    tools.SetMapRelation_DefaultRelation(n_local)
    gathers, scatters = [], []
    for r in range(reps + 1):  # the first round sets up and is not counted
        t0 = time.perf_counter()
        tools.GetGlobalArrayFromLocalArray(local, glob)
        t1 = time.perf_counter()
        tools.GetLocalArrayFromGlobalArray(glob, local)
        t2 = time.perf_counter()
        if r:
            gathers.append(t1 - t0)
            scatters.append(t2 - t1)
    return statistics.median(gathers), statistics.median(scatters)


def measure(com, myid, nproc, total, reps, rows):
    n_local = max(1, total // nproc)
    local = np.ones(n_local + 1)
    glob = np.zeros(n_local * nproc + 1) if myid == 0 else None
    # Both sides move the same arrays; the C++ side runs between two Python rounds, and each
    # side keeps its better round, so that neither profits from a warmer machine.
    py_g, py_s = python_times(com, myid, nproc, local, glob, reps)
    cpp_g, cpp_s = krz._bench_transfer(com, myid, nproc, local, glob, reps)
    py_g2, py_s2 = python_times(com, myid, nproc, local, glob, reps)
    cpp_g2, cpp_s2 = krz._bench_transfer(com, myid, nproc, local, glob, reps)
    py_g, py_s = min(py_g, py_g2), min(py_s, py_s2)
    cpp_g, cpp_s = min(cpp_g, cpp_g2), min(cpp_s, cpp_s2)
    if myid == 0:
        for what, p, c in (("gather", py_g, cpp_g), ("scatter", py_s, cpp_s)):
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
