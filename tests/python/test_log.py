"""The performance log from Python: each rank's counts as a dict, rank 0's table as text."""
import numpy as np

import krz3dcomtools as krz
from conftest import on_every_engine


def test_log_counts_each_ranks_gather_and_rank0_receives_the_table():
    def body(com, myid, nproc):
        tools = krz.CCOM_BroadTools()
        tools.SetInitialize(myid, nproc, com)
        tools.SetMapRelation_DefaultRelation(1)
        before = krz.log_entries()["CCOM_BroadTools gather"]
        tools.GetGlobalArrayFromLocalArray(np.ones(2))
        after = krz.log_entries()["CCOM_BroadTools gather"]
        assert after["calls"] == before["calls"] + 1
        received = after["messages_received"] - before["messages_received"]
        assert received == (nproc - 1 if myid == 0 else 0)
        table = krz.log_report(com)
        assert ("CCOM_BroadTools gather" in table) == (myid == 0)

    krz.log_view(True)
    try:
        on_every_engine(body)
    finally:
        krz.log_view(False)
