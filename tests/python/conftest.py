"""Shared by the Python tests: one body, every engine, and the coupled pair of domains.

KRZ_TEST_ENGINE=mpi (set by CTest under mpiexec) runs each body once on MPI_COMM_WORLD; otherwise
on 1 to 4 in-process ranks. A body fails the test when it fails on any rank.
"""
import os

import numpy as np
import pytest

import krz3dcomtools as krz

ENGINE = os.environ.get("KRZ_TEST_ENGINE", "threads")


THREAD_RANKS = int(os.environ.get("KRZ_TEST_THREAD_RANKS", "4"))


def on_every_engine(body, counts=None):
    """Runs body(com, myid, nproc) on the engine of this run (in-process: 1 to THREAD_RANKS)."""
    counts = counts or range(1, THREAD_RANKS + 1)
    if ENGINE == "mpi":
        from mpi4py import MPI

        world = MPI.COMM_WORLD
        com = krz.MPICom(world)
        failure = None
        try:
            body(com, world.rank, world.size)
        except Exception as e:  # reduced over the ranks below
            failure = e
        all_ok = world.allreduce(failure is None, op=MPI.LAND)
        del com
        if failure is not None:
            raise failure
        assert all_ok, "another rank failed"
    else:
        for n in counts:
            krz.run_ranks(n, body, deadline=30)


threads_only = pytest.mark.skipif(ENGINE != "threads", reason="in-process engine only")


class CoupledPair:
    """Two quadrilaterals per rank on a strip, node numbers global (identity node map).

    Domain A: rank p holds faces 2p+1, 2p+2. Domain B: the same faces, rank p holding those of
    rank q = nproc-1-p in reverse order, so B's face i on rank p pairs with A's face 3-i on q.
    Cells 1..4 per rank and domain: face i is owned by cell i, its neighbour is cell i+2.
    """

    def __init__(self, com, myid, nproc):
        self.myid, self.nproc, self.q = myid, nproc, nproc - 1 - myid
        self.records = {}
        self.face = {}
        self.bface = {}
        nodes = 8 * nproc
        node_map = [np.arange(nodes + 1, dtype=np.int32) for _ in range(nproc)] if myid == 0 else None
        for side, order in (("A", [2 * myid + 1, 2 * myid + 2]), ("B", [2 * self.q + 2, 2 * self.q + 1])):
            records = np.zeros((3, 5), dtype=np.int32)
            for i, f in enumerate(order, start=1):
                records[i] = [4, 4 * f - 3, 4 * f - 2, 4 * f - 1, 4 * f]
            face = krz.CKRZL2GBroadTools_Face()
            face.SetInitialize(myid, nproc, com)
            face.SetLocalFace20(2, records)
            face.SetL2GMapRelation(node_map)
            bface = krz.CKRZL2GBroadTools_BoundaryFace()
            bface.SetBoundaryFaceRelation(face)
            self.owner = np.array([0, 1, 2], dtype=np.int32)
            self.neighbor = np.array([0, 3, 4], dtype=np.int32)
            bface.SetLocalFace_BoundaryCellID(2, self.owner, self.neighbor)
            self.records[side], self.face[side], self.bface[side] = records, face, bface
        self.exchange = krz.CKRZA2BExchange_BoundaryFace()
        self.exchange.SetL2G_Face(self.face["A"], self.face["B"])
        self.exchange.SetL2G_BoundaryFace(self.bface["A"], self.bface["B"])
        self.exchange.SetA2BRelation()  # pair by node sets

    @staticmethod
    def cell(side, rank, c, dtype=np.float64):
        return dtype((1 if side == "A" else 2) * 10000 + 100 * rank + c)

    @staticmethod
    def face_value(side, rank, j, dtype=np.float64):
        return dtype((3 if side == "A" else 4) * 10000 + 100 * rank + j)

    def cells(self, side, dtype):
        return np.array([0] + [self.cell(side, self.myid, c) for c in range(1, 5)], dtype=dtype)

    def faces(self, side, dtype):
        return np.array([0] + [self.face_value(side, self.myid, j) for j in (1, 2)], dtype=dtype)
