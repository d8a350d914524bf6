"""The library's lines routed to Python's logging, each with its rank, and back to sys.stdout."""
import logging

import numpy as np
import pytest

import krz3dcomtools as krz
from conftest import ENGINE, THREAD_RANKS, on_every_engine

LINE = "GetGlobalArrayFromLocalArray_End: no _Begin before it"


def one_line(com, myid, nproc):
    tools = krz.CCOM_BroadTools()
    tools.SetInitialize(myid, nproc, com)
    tools.SetMapRelation_DefaultRelation(1)
    with pytest.raises(RuntimeError, match="refused"):
        tools.GetGlobalArrayFromLocalArray_End(np.zeros(2))


def test_lines_go_to_logging_with_their_rank_and_back_to_stdout(caplog, capsys):
    krz.lines_to_logging(logging.INFO)
    try:
        with caplog.at_level(logging.INFO, logger="krz3dcomtools"):
            on_every_engine(one_line)
    finally:
        krz.lines_to_stdout()
    records = [r for r in caplog.records if r.name == "krz3dcomtools"]
    assert all(r.levelno == logging.INFO and r.getMessage().startswith(LINE) for r in records)
    assert all("\n" not in r.getMessage() for r in records)
    if ENGINE == "mpi":
        from mpi4py import MPI

        expected = [MPI.COMM_WORLD.rank]
    else:
        expected = sorted(r for n in range(1, THREAD_RANKS + 1) for r in range(n))
    assert sorted(r.krz_rank for r in records) == expected
    assert LINE not in capsys.readouterr().out

    on_every_engine(one_line)
    assert LINE in capsys.readouterr().out
