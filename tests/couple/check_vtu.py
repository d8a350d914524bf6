#!/usr/bin/env python3
"""Reads the ParaView files of a `krz3d couple --vtu DIR --json FILE` run back with VTK's own
XML readers (what ParaView uses; Debian's python3-vtk9) and checks them against the run's JSON
report: every rank's piece is there, the interface faces add up, the fields exist, and the paired
flags and partners agree with the pairing report. Each step's .pvtu is also read whole, as
ParaView opens it. Without VTK, meshio reads the pieces (it cannot read the empty pieces of ranks
without interface faces, which are then counted from their header).

    check_vtu.py DIR FILE RANKS STEPS
"""
import json
import re
import sys

import numpy as np

try:
    import vtk
    from vtk.util.numpy_support import vtk_to_numpy
except ImportError:
    vtk = None
    import meshio


def read_vtk(reader, path):
    reader.SetFileName(path)
    reader.Update()
    grid = reader.GetOutput()
    if reader.GetErrorCode() != 0 or grid is None:
        raise AssertionError(f"VTK cannot read {path}")
    cells = grid.GetNumberOfCells()
    data = {}
    cell_data = grid.GetCellData()
    for k in range(cell_data.GetNumberOfArrays()):
        array = cell_data.GetArray(k)
        data[array.GetName()] = vtk_to_numpy(array) if cells else np.zeros(0)
    return cells, data


def read_piece(path):
    if vtk is not None:
        return read_vtk(vtk.vtkXMLUnstructuredGridReader(), path)
    text = open(path, "rb").read()
    if re.search(rb'NumberOfCells="0"', text):
        return 0, {}  # an empty piece: valid VTK, which meshio does not read
    mesh = meshio.read(path)
    cells = sum(len(block.data) for block in mesh.cells)
    data = {name: np.concatenate(values) for name, values in mesh.cell_data.items()}
    return cells, data


def read_whole(path):
    """A .pvtu as ParaView opens it: every piece joined (VTK only; None without it)."""
    if vtk is None:
        return None
    return read_vtk(vtk.vtkXMLPUnstructuredGridReader(), path)


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
            whole = read_whole(f"{directory}/interface_{side}_step{step}.pvtu")
            if whole is not None:
                assert whole[0] == faces, (side, step, whole[0])
                assert sorted(int(g) for g in whole[1]["global_face"]) == sorted(numbers)
        cells = sum(read_piece(f"{directory}/cells_{side}_p{rank}.vtu")[0] for rank in range(ranks))
        assert cells == expected["cells"], (side, cells)
        assert f"interface_{side}_step{steps}.pvtu" in open(f"{directory}/interface_{side}.pvd").read()
    print("vtu: ok (read by %s)" % ("VTK" if vtk is not None else "meshio"))


if __name__ == "__main__":
    main()
