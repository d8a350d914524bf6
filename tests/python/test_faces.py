"""Face numbering, boundary faces, all eleven A/B transfers of a coupled pair, the self-test."""
import numpy as np
import pytest

import krz3dcomtools as krz
from conftest import CoupledPair, on_every_engine


def test_default_face_numbering_and_face_transfers():
    def body(com, myid, nproc):
        pair = CoupledPair(com, myid, nproc)
        face = pair.face["A"]
        n, table = face.GetGlobalFace20()
        assert n == 2 * nproc == face.GetFaceNumber_Global()
        if myid == 0:
            f = np.arange(1, n + 1)
            np.testing.assert_array_equal(table[1:, 1], 4 * f - 3)
            np.testing.assert_array_equal(table[1:, 4], 4 * f)
        local = np.array([0, 2 * myid + 1, 2 * myid + 2], dtype=np.float64) * 1.5
        glob = face.GetValue_FromLocalFaceToGloblaFace(local)
        if myid == 0:
            np.testing.assert_array_equal(glob, np.arange(n + 1) * 1.5)
        back = face.GetValue_FromGlobalFaceToLocalFace(glob, np.zeros(3))
        np.testing.assert_array_equal(back[1:], local[1:])

    on_every_engine(body)


def test_boundary_face_transfers():
    def body(com, myid, nproc):
        pair = CoupledPair(com, myid, nproc)
        bface = pair.bface["A"]
        cells = pair.cells("A", np.int32)
        owner = bface.GetGlobalFaceValue_FromLocalOwnerCell(cells)
        neighbour = bface.GetGlobalFaceValue_FromLocalNeighborCell(cells)
        if myid == 0:
            for r in range(nproc):
                for i in (1, 2):
                    assert owner[2 * r + i] == pair.cell("A", r, i, np.int32)
                    assert neighbour[2 * r + i] == pair.cell("A", r, i + 2, np.int32)
        written = np.zeros(5, dtype=np.int32)
        bface.GetLocalNeighborCellValue_FromGlobalFaceValue(owner, written)
        np.testing.assert_array_equal(written, [0, 0, 0, cells[1], cells[2]])

    on_every_engine(body)


# The eleven transfers: source domain, what is read and what is written, and where the value
# of the target's face i comes from on the partner rank (face 3-i there).
TRANSFERS = {
    "GetBoundaryCellValue_A2B_FromOwner2Neighbor": ("A", "cell", "cell", lambda i: 3 - i),
    "GetBoundaryCellValue_B2A_FromOwner2Neighbor": ("B", "cell", "cell", lambda i: 3 - i),
    "GetBoundaryCellValue_A2B_FromFace2Neighbor": ("A", "face", "cell", lambda i: 3 - i),
    "GetBoundaryCellValue_B2A_FromFace2Neighbor": ("B", "face", "cell", lambda i: 3 - i),
    "GetFaceValue_A2B_FromOwner2Face": ("A", "cell", "face", lambda i: 3 - i),
    "GetFaceValue_A2B_FromNeighbor2Face": ("A", "cell", "face", lambda i: 5 - i),
    "GetFaceValue_B2A_FromOwner2Face": ("B", "cell", "face", lambda i: 3 - i),
    "GetFaceValue_B2A_FromNeighbor2Face": ("B", "cell", "face", lambda i: 5 - i),
    "GetFaceValue_A2B_FromFace2Face": ("A", "face", "face", lambda i: 3 - i),
    "GetFaceValue_B2A_FromFace2Face": ("B", "face", "face", lambda i: 3 - i),
}


@pytest.mark.parametrize("dtype", [np.float64, np.int32])
def test_all_eleven_exchange_transfers(dtype):
    assert set(TRANSFERS) | {"GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor"} == set(krz.A2B_TRANSFERS)

    def body(com, myid, nproc):
        pair = CoupledPair(com, myid, nproc)
        for name, (src, read, write, index) in TRANSFERS.items():
            dst = "B" if src == "A" else "A"
            source = pair.cells(src, dtype) if read == "cell" else pair.faces(src, dtype)
            target = np.zeros(5 if write == "cell" else 3, dtype=dtype)
            getattr(pair.exchange, name)(source, target)
            value = pair.cell if read == "cell" else pair.face_value
            for i in (1, 2):
                expected = value(src, pair.q, index(i), dtype)
                got = target[i + 2] if write == "cell" else target[i]
                assert got == expected, (name, myid, i)
        a, b = pair.cells("A", dtype), pair.cells("B", dtype)
        pair.exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(a, b)
        for i in (1, 2):
            assert b[i + 2] == pair.cell("A", pair.q, 3 - i, dtype)
            assert a[i + 2] == pair.cell("B", pair.q, 3 - i, dtype)

    on_every_engine(body)


def test_self_test_report_has_no_failure_line(capsys):
    def body(com, myid, nproc):
        test = krz.CKRZL2GBroadTools_UnitTest()
        test.SetInitialize(myid, nproc, com)
        test.Test()

    on_every_engine(body, counts=(1, 3))
    out = capsys.readouterr().out
    assert "</UnitTest -  L2GBroadTools >" in out
    assert "Error" not in out


@pytest.mark.parametrize("dtype", [np.float64, np.int32])
def test_split_transfers_give_what_the_blocking_ones_give(dtype):
    def body(com, myid, nproc):
        pair = CoupledPair(com, myid, nproc)
        for name, (src, read, write, _) in TRANSFERS.items():
            source = pair.cells(src, dtype) if read == "cell" else pair.faces(src, dtype)
            blocking = np.zeros(5 if write == "cell" else 3, dtype=dtype)
            getattr(pair.exchange, name)(source, blocking)
            split = np.zeros_like(blocking)
            getattr(pair.exchange, name + "_Begin")(source, split)
            assert (split == 0).all(), name  # written only by the _End
            getattr(pair.exchange, name + "_End")(source, split)
            np.testing.assert_array_equal(split, blocking, err_msg=name)

    on_every_engine(body)


def test_a_split_end_with_other_arrays_writes_nothing(capsys):
    def body(com, myid, nproc):
        pair = CoupledPair(com, myid, nproc)
        source, out = pair.faces("A", np.float64), np.zeros(3)
        pair.exchange.GetFaceValue_A2B_FromFace2Face_Begin(source, out)
        other = np.zeros(3)
        pair.exchange.GetFaceValue_A2B_FromFace2Face_End(source, other)
        assert (other == 0).all() and (out == 0).all()

    on_every_engine(body, counts=(2,))
    assert "_End: not the transfer or the arrays of the _Begin before it" in capsys.readouterr().out
