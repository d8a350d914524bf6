"""Bad input gives a Python exception naming the argument, never a crash or a hang."""
import numpy as np
import pytest

import krz3dcomtools as krz
from conftest import on_every_engine, threads_only


def tools_on(com, myid, nproc, n=2):
    tools = krz.CCOM_BroadTools()
    tools.SetInitialize(myid, nproc, com)
    tools.SetMapRelation_DefaultRelation(n)
    return tools


def test_wrong_dtype_length_and_layout_are_refused_on_every_rank():
    def body(com, myid, nproc):
        tools = tools_on(com, myid, nproc)
        with pytest.raises(TypeError, match=r"argument 'pLocal'.*float64.*got int64"):
            tools.GetGlobalArrayFromLocalArray(np.zeros(3, dtype=np.int64))
        with pytest.raises(ValueError, match=r"'pLocal': expected 3 elements.*shape \(4,\)"):
            tools.GetGlobalArrayFromLocalArray(np.zeros(4))
        with pytest.raises(ValueError, match="contiguous"):
            tools.GetGlobalArrayFromLocalArray(np.zeros(6)[::2])
        with pytest.raises(TypeError, match="got list"):
            tools.GetGlobalArrayFromLocalArray([0.0, 1.0, 2.0])
        with pytest.raises(ValueError, match="read-only"):
            ro = np.zeros(3)
            ro.flags.writeable = False
            tools.GetLocalArrayFromGlobalArray(None, ro)
        with pytest.raises(ValueError, match="myid"):
            tools.SetInitialize(nproc, nproc, com)
        # After the refusals (which communicated nothing) the object still works.
        assert tools.GetGlobalArrayFromLocalArray(np.ones(3)) is not None or myid != 0

    on_every_engine(body)


def test_none_where_values_are_needed_takes_part_with_zeros():
    def body(com, myid, nproc):
        tools = tools_on(com, myid, nproc)
        last = nproc - 1
        if myid == last:
            with pytest.raises(ValueError, match="'pLocal' is None"):
                tools.GetGlobalArrayFromLocalArray(None, dtype=np.float64)
        else:
            glob = tools.GetGlobalArrayFromLocalArray(np.full(3, 5.0))
            if myid == 0:
                assert (glob[1:2 * last + 1] == 5.0).all() and (glob[2 * last + 1:] == 0).all()

    on_every_engine(body)


@threads_only
def test_a_rank_that_skips_a_collective_is_reported_within_seconds():
    def body(com, myid, nproc):
        tools = tools_on(com, myid, nproc)
        if myid == 0:
            tools.GetGlobalArrayFromLocalArray(np.zeros(3))

    with pytest.raises(RuntimeError, match="rank 0: blocked in"):
        krz.run_ranks(2, body, deadline=5)


@threads_only
def test_an_exception_in_a_rank_is_reported():
    def body(com, myid, nproc):
        if myid == 1:
            raise KeyError("from rank one")

    with pytest.raises(RuntimeError, match="from rank one"):
        krz.run_ranks(2, body, deadline=5)


def test_a_wrong_argument_on_one_rank_takes_part_and_raises_after():
    def body(com, myid, nproc):
        tools = tools_on(com, myid, nproc)
        last = nproc - 1
        # The last rank's pLocal is one element short: it takes part with zeros, then raises.
        if myid == last:
            with pytest.raises(ValueError, match=r"'pLocal': expected 3 elements.*shape \(2,\)"):
                tools.GetGlobalArrayFromLocalArray(np.zeros(2))
        else:
            glob = tools.GetGlobalArrayFromLocalArray(np.full(3, 5.0))
            if myid == 0:
                assert (glob[1:2 * last + 1] == 5.0).all() and (glob[2 * last + 1:] == 0).all()
        # Rank 0's pGlobal is one element short: every other rank still gets its values back.
        back = np.full(3, -1.0)
        if myid == 0:
            with pytest.raises(ValueError, match=r"'pGlobal': expected"):
                tools.GetLocalArrayFromGlobalArray(np.ones(2 * nproc), back)
        else:
            tools.GetLocalArrayFromGlobalArray(None, back)
            assert (back[1:] == 0).all()
        # An input that is only read may be read-only.
        ro = np.full(3, 2.0)
        ro.flags.writeable = False
        glob = tools.GetGlobalArrayFromLocalArray(ro)
        if myid == 0:
            assert (glob[1:] == 2.0).all()

    on_every_engine(body)


@threads_only
def test_deadlines_past_the_clock_are_clamped():
    def body(com, myid, nproc):
        tools_on(com, myid, nproc).GetGlobalArrayFromLocalArray(np.ones(3))

    for deadline in (float("inf"), 1e10, 1e300):
        krz.run_ranks(2, body, deadline=deadline)


@threads_only
def test_an_object_whose_run_has_ended_raises():
    kept = []

    def body(com, myid, nproc):
        kept.append(tools_on(com, myid, nproc))

    krz.run_ranks(1, body, deadline=5)
    with pytest.raises(ValueError, match="in-process run that has ended"):
        kept[0].GetGlobalArrayFromLocalArray(np.ones(3))


def test_borrowed_arrays_edited_in_place_are_checked_at_every_call():
    from conftest import CoupledPair

    def body(com, myid, nproc):
        # Rank 0's counts grow past their rows: rank 0 raises after taking part, no read past a row.
        counts = np.full(nproc, 2, dtype=np.int32)
        rows = [np.array([0, 2 * p + 1, 2 * p + 2], dtype=np.int32) for p in range(nproc)]
        tools = krz.CCOM_BroadTools()
        tools.SetInitialize(myid, nproc, com)
        tools.SetMapRelation(2 * nproc, counts, rows)
        tools.GetGlobalArrayFromLocalArray(np.ones(3))
        if myid == 0:
            counts[nproc - 1] = 1000
            with pytest.raises(ValueError, match=r"pNDimension_L\[%d\] was changed to 1000" % (nproc - 1)):
                tools.GetGlobalArrayFromLocalArray(np.ones(3))
            counts[nproc - 1] = 2
        else:
            tools.GetGlobalArrayFromLocalArray(np.ones(3))
        glob = tools.GetGlobalArrayFromLocalArray(np.full(3, 4.0))
        if myid == 0:
            assert (glob[1:] == 4.0).all()

        # The last rank's owner ids now name a cell past its cell array: it raises after taking
        # part with zeros; the others' values arrive.
        pair = CoupledPair(com, myid, nproc)
        cells = pair.cells("B", np.float64)  # pair.owner holds domain B's owner ids
        if myid == nproc - 1:
            pair.owner[1] = 99
            with pytest.raises(ValueError, match="name cell 99"):
                pair.bface["B"].GetGlobalFaceValue_FromLocalOwnerCell(cells)
            pair.owner[1] = 1
        else:
            pair.bface["B"].GetGlobalFaceValue_FromLocalOwnerCell(cells)

    on_every_engine(body)


def test_different_dtypes_on_different_ranks_are_an_error_on_every_rank():
    def body(com, myid, nproc):
        tools = tools_on(com, myid, nproc)
        if nproc == 1:
            return
        local = np.array([0, 11, 12], dtype=np.float32 if myid == nproc - 1 else np.float64)
        with pytest.raises(TypeError, match=r"different element types \(float64 and float32"):
            tools.GetGlobalArrayFromLocalArray(local)
        # One rank's dtype no transfer serves: it raises, every other rank is told, none waits.
        local = np.zeros(3, dtype=np.int64 if myid == 0 else np.float64)
        with pytest.raises((TypeError, ValueError), match="got int64|another rank's arguments"):
            tools.GetGlobalArrayFromLocalArray(local)
        # The object goes on working.
        glob = tools.GetGlobalArrayFromLocalArray(np.ones(3))
        if myid == 0:
            assert (glob[1:] == 1.0).all()

    on_every_engine(body)


def test_face_and_collection_arguments_refused_on_one_rank_leave_no_rank_waiting():
    from conftest import CoupledPair

    def body(com, myid, nproc):
        last = nproc - 1
        pair = CoupledPair(com, myid, nproc)
        face = pair.face["A"]
        if myid == last:
            with pytest.raises(ValueError, match=r"'pLocal': expected 3 elements"):
                face.GetValue_FromLocalFaceToGloblaFace(np.ones(7))
        else:
            face.GetValue_FromLocalFaceToGloblaFace(np.ones(3))
        collector = krz.CCOM_BroadTools_CollectLocalArrayToMyid0()
        collector.SetInitialize(myid, nproc, com)
        if myid == last:
            with pytest.raises(ValueError, match=r"'pLocal': expected 4 elements"):
                collector.CreateMyid0ArrayFromLocalArray(3, np.ones(2, dtype=np.int32))
        else:
            rows = collector.CreateMyid0ArrayFromLocalArray(3, np.ones(4, dtype=np.int32))
            if myid == 0:
                assert (rows[0][1:] == 1).all() and (rows[last][1:] == 0).all() or nproc == 1

    on_every_engine(body)
