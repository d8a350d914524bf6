#!/usr/bin/env python3
"""Two domains coupled through the A/B exchange, from Python.

    mpiexec -n 4 python3 examples/python/couple.py          # MPI (mpi4py)
    python3 examples/python/couple.py --ranks 4             # in-process ranks, no MPI

Domain A (hot) and domain B (cold) meet at an interface of 8 quadrilaterals per rank. Each rank
holds a strip of A's interface faces and, for B, the faces of another rank in reverse order, so
the library has to pair them by node set. Every step each side sends the temperature of the cell
behind each interface face to the other side's ghost cell and relaxes towards it; the interface
temperatures meet at the mean. The module is found on PYTHONPATH: <prefix>/lib/python3/site-packages
after an install, build/default/bindings/python/module in the build tree.
"""
import argparse
import sys

import numpy as np

import krz3dcomtools as krz

FACES = 8  # interface faces per rank


def interface(com, myid, nproc, faces, node_map):
    """A face object over `faces` (global face numbers of the strip) and its boundary faces.

    Face f has nodes 4f-3..4f (global numbers); local cell i owns face i, ghost cell FACES+i is
    the neighbour across the interface.
    """
    records = np.zeros((len(faces) + 1, 5), dtype=np.int32)
    for i, f in enumerate(faces, start=1):
        records[i] = [4, 4 * f - 3, 4 * f - 2, 4 * f - 1, 4 * f]
    face = krz.CKRZL2GBroadTools_Face()
    face.SetInitialize(myid, nproc, com)
    face.SetLocalFace20(len(faces), records)
    face.SetL2GMapRelation(node_map)
    owner = np.arange(len(faces) + 1, dtype=np.int32)
    ghost = np.concatenate(([0], np.arange(1, len(faces) + 1) + FACES)).astype(np.int32)
    bface = krz.CKRZL2GBroadTools_BoundaryFace()
    bface.SetBoundaryFaceRelation(face)
    bface.SetLocalFace_BoundaryCellID(len(faces), owner, ghost)
    return face, bface, (records, owner, ghost)


def couple(com, myid, nproc, steps=40):
    node_map = None
    if myid == 0:  # every rank numbers its nodes globally already
        node_map = [np.arange(4 * FACES * nproc + 1, dtype=np.int32) for _ in range(nproc)]
    partner = nproc - 1 - myid
    faces_a = [FACES * myid + i for i in range(1, FACES + 1)]
    faces_b = [FACES * partner + i for i in range(FACES, 0, -1)]
    face_a, bface_a, keep_a = interface(com, myid, nproc, faces_a, node_map)
    face_b, bface_b, keep_b = interface(com, myid, nproc, faces_b, node_map)

    exchange = krz.CKRZA2BExchange_BoundaryFace()
    exchange.SetL2G_Face(face_a, face_b)
    exchange.SetL2G_BoundaryFace(bface_a, bface_b)
    exchange.SetA2BRelation()  # rank 0 pairs the faces by node set

    # Cells 1..FACES behind the interface, ghosts FACES+1..2*FACES; element 0 belongs to no cell.
    temp_a = np.zeros(2 * FACES + 1)
    temp_b = np.zeros(2 * FACES + 1)
    temp_a[1:FACES + 1] = 1.0
    for step in range(1, steps + 1):
        exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(temp_a, temp_b)
        for t in (temp_a, temp_b):
            t[1:FACES + 1] += 0.25 * (t[FACES + 1:] - t[1:FACES + 1])
        mean_a = face_a.GetValue_FromLocalFaceToGloblaFace(temp_a[:FACES + 1].copy())
        mean_b = face_b.GetValue_FromLocalFaceToGloblaFace(temp_b[:FACES + 1].copy())
        if myid == 0 and (step % 10 == 0 or step == 1):
            print(f"step {step:3d}: interface A {mean_a[1:].mean():.6f}  B {mean_b[1:].mean():.6f}",
                  flush=True)
    if myid == 0:
        gap = abs(mean_a[1:].mean() - mean_b[1:].mean())
        print(f"couple: {nproc} ranks, {FACES * nproc} interface faces, final gap {gap:.2e}",
              flush=True)
        if gap > 1e-3 or abs(mean_a[1:].mean() + mean_b[1:].mean() - 1.0) > 1e-9:
            raise RuntimeError("the coupled temperatures did not meet at the mean")
    del keep_a, keep_b


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ranks", type=int, default=0,
                        help="run on this many in-process ranks instead of MPI")
    args = parser.parse_args()
    if args.ranks > 0:
        krz.run_ranks(args.ranks, couple)
        return 0
    from mpi4py import MPI

    com = krz.MPICom(MPI.COMM_WORLD)
    couple(com, MPI.COMM_WORLD.rank, MPI.COMM_WORLD.size)
    del com  # before MPI finalizes
    return 0


if __name__ == "__main__":
    sys.exit(main())
