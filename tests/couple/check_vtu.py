#!/usr/bin/env python3
"""Reads the ParaView files of a `krz3d couple --vtu DIR --json FILE` run back with meshio (an
independent reader) and checks them against the run's JSON report: every rank's piece is there,
the interface faces add up, the fields exist, and the paired flags and partners agree with the
pairing report.

    check_vtu.py DIR FILE RANKS STEPS
"""
import json
import re
import sys

import meshio
import numpy as np


def read_piece(path):
    text = open(path, "rb").read()
    if re.search(rb'NumberOfCells="0"', text):
        return 0, {}  # an empty piece: valid VTK, which meshio does not read
    mesh = meshio.read(path)
    cells = sum(len(block.data) for block in mesh.cells)
    data = {name: np.concatenate(values) for name, values in mesh.cell_data.items()}
    return cells, data


def main():
    directory, report_file, ranks, steps = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    report = json.load(open(report_file))
    assert report["ok"], "the run failed"
    for side in ("A", "B"):
        expected = report["domains"][side]
        for step in range(steps + 1):
            faces, paired, partner_set, numbers = 0, 0, 0, []
            pvtu = open(f"{directory}/interface_{side}_step{step}.pvtu").read()
            for rank in range(ranks):
                assert f"interface_{side}_step{step}_p{rank}.vtu" in pvtu
                n, data = read_piece(f"{directory}/interface_{side}_step{step}_p{rank}.vtu")
                faces += n
                if n:
                    for field in ("global_face", "rank", "paired", "partner_face", "exchanged_value"):
                        assert field in data, field
                    assert (data["rank"] == rank).all()
                    paired += int(data["paired"].sum())
                    partner_set += int((data["partner_face"] != 0).sum())
                    numbers.extend(int(g) for g in data["global_face"])
            assert faces == expected["interface_faces"], (side, step, faces)
            assert paired == expected["paired"] == partner_set, (side, step, paired)
            assert sorted(numbers) == list(range(1, faces + 1)), (side, step)  # one numbering
        cells = sum(read_piece(f"{directory}/cells_{side}_p{rank}.vtu")[0] for rank in range(ranks))
        assert cells == expected["cells"], (side, cells)
        assert f"interface_{side}_step{steps}.pvtu" in open(f"{directory}/interface_{side}.pvd").read()
    print("vtu: ok")


if __name__ == "__main__":
    main()
