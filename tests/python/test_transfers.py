"""Gather, scatter, collection and the node mappings, against NumPy."""
import numpy as np
import pytest

import krz3dcomtools as krz
from conftest import on_every_engine

DTYPES = [np.float64, np.float32, np.int32, np.bool_, np.int8]


def relation(nproc):
    """Rank p holds 3+p items; the global numbers are one permutation, the same on every rank."""
    counts = np.array([3 + p for p in range(nproc)], dtype=np.int32)
    perm = np.random.default_rng(7).permutation(int(counts.sum())).astype(np.int32) + 1
    starts = np.concatenate(([0], np.cumsum(counts)))
    rows = [np.concatenate(([0], perm[starts[p]:starts[p + 1]])).astype(np.int32) for p in range(nproc)]
    return counts, rows


def values(p, n, dtype):
    raw = 100 * p + np.arange(n + 1)
    return (raw % 2 == 1).astype(dtype) if dtype is np.bool_ else (raw % 120).astype(dtype)


@pytest.mark.parametrize("dtype", DTYPES)
def test_gather_and_scatter_through_a_random_relation(dtype):
    def body(com, myid, nproc):
        counts, rows = relation(nproc)
        tools = krz.CCOM_BroadTools()
        tools.SetInitialize(myid, nproc, com)
        tools.SetMapRelation(int(counts.sum()), counts, rows)
        local = values(myid, counts[myid], dtype)
        glob = tools.GetGlobalArrayFromLocalArray(local)
        if myid == 0:
            expected = np.zeros(int(counts.sum()) + 1, dtype=dtype)
            for p in range(nproc):
                expected[rows[p][1:]] = values(p, counts[p], dtype)[1:]
            np.testing.assert_array_equal(glob, expected)
            glob = glob.copy()  # a fresh array for the scatter
        else:
            assert glob is None
        back = tools.GetLocalArrayFromGlobalArray(glob, dtype=dtype)
        np.testing.assert_array_equal(back[1:], local[1:])
        into = np.zeros_like(local)
        assert tools.GetLocalArrayFromGlobalArray(glob, into) is into
        np.testing.assert_array_equal(into[1:], local[1:])

        # The same split in two halves: new targets come from the _End.
        assert tools.GetGlobalArrayFromLocalArray_Begin(local) is None
        split = tools.GetGlobalArrayFromLocalArray_End(local)
        if myid == 0:
            np.testing.assert_array_equal(split, glob)
        else:
            assert split is None
        tools.GetLocalArrayFromGlobalArray_Begin(glob, dtype=dtype)
        np.testing.assert_array_equal(tools.GetLocalArrayFromGlobalArray_End(glob)[1:], local[1:])
        into = np.zeros_like(local)
        tools.GetLocalArrayFromGlobalArray_Begin(glob, into)
        assert tools.GetLocalArrayFromGlobalArray_End(glob, into) is into
        np.testing.assert_array_equal(into[1:], local[1:])

    on_every_engine(body)


def test_split_misuse_raises_after_one_line(capsys):
    def body(com, myid, nproc):
        tools = krz.CCOM_BroadTools()
        tools.SetInitialize(myid, nproc, com)
        tools.SetMapRelation_DefaultRelation(2)
        local = np.arange(3, dtype=np.float64)
        with pytest.raises(RuntimeError, match="GetGlobalArrayFromLocalArray_End: refused"):
            tools.GetGlobalArrayFromLocalArray_End(local)
        tools.GetGlobalArrayFromLocalArray_Begin(local)
        with pytest.raises(RuntimeError, match="GetGlobalArrayFromLocalArray: refused"):
            tools.GetGlobalArrayFromLocalArray(local)
        with pytest.raises(RuntimeError, match="_End: refused"):
            tools.GetGlobalArrayFromLocalArray_End(local.copy())  # another source array

    on_every_engine(body)
    out = capsys.readouterr().out
    assert "a split transfer of this object is in flight" in out
    assert "_End: not the transfer, type or arrays of the _Begin before it" in out


@pytest.mark.parametrize("dtype", [np.int32, np.bool_, np.float64, np.float32])
def test_collection_as_rows_and_flat(dtype):
    def body(com, myid, nproc):
        collector = krz.CCOM_BroadTools_CollectLocalArrayToMyid0()
        collector.SetInitialize(myid, nproc, com)
        local = values(myid, 2 + myid, dtype)
        rows = collector.CreateMyid0ArrayFromLocalArray(2 + myid, local)
        flat = collector.CreateMyid0Array1DFromLocalArray(2 + myid, local)
        if myid != 0 or nproc == 1:
            assert rows is None and flat is None
            return
        assert collector.GetNumber_Global() == sum(2 + p for p in range(nproc))
        for p in range(nproc):
            np.testing.assert_array_equal(rows[p][1:], values(p, 2 + p, dtype)[1:])
        expected = np.concatenate([[0]] + [values(p, 2 + p, dtype)[1:] for p in range(nproc)])
        np.testing.assert_array_equal(flat, expected.astype(dtype))

    on_every_engine(body)


def test_node_mappings_combine_the_relations():
    def body(com, myid, nproc):
        fv = 3 + myid
        local_mfe = np.array([0] + [(i * 7 + myid) % 4 + 1 for i in range(1, fv + 1)], dtype=np.int32)
        collected = krz.CL2GMappingRelation_CollectFVNode2MFENode()
        collected.SetInitialize(myid, nproc, com)
        collected.SetMappinArrayCollectToMyid0(fv, local_mfe)
        combined = krz.CL2GMappingRelation_LocalFVNode2GlobalMFENode()
        combined.SetInitialize(myid, nproc, com)
        combined.SetMappinArrayCollectToMyid0(fv, local_mfe)
        fe_tables = [np.array([0, 10 * p + 1, 10 * p + 2, 10 * p + 3, 10 * p + 4], dtype=np.int32)
                     for p in range(nproc)]
        if myid == 0:
            combined.SetMappingRelation_FENode_Local2Global(fe_tables)
        result = combined.CreateMappingArray_LocalFVNode2GlobalMFENode()
        if myid != 0 or nproc == 1:
            assert result is None
            return
        table = collected.GetMappinArrayCollectToMyid0()
        for p in range(nproc):
            relation_p = np.array([0] + [(i * 7 + p) % 4 + 1 for i in range(1, 4 + p)])
            np.testing.assert_array_equal(table[p], relation_p)
            np.testing.assert_array_equal(result[p][1:], fe_tables[p][relation_p[1:]])

    on_every_engine(body)
