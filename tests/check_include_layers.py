#!/usr/bin/env python3
"""The include graphs keep their shape. The library's: every quoted include of a library file names a
file of its own folder or of a lower layer (never apps/, bindings/, testing/ or tests/), a
folder's own headers are its private business (other folders reach it through its public header
in include/; only the floor, krzcom/ and base/, is shared), and no include chain comes back to
where it started. The programs' wing above it is layered the same way (WING): the coupled pair
at the bottom, the programs at the top, the benchmarks against other libraries above them; none
of it includes the tests' own code (testing/, tests/). Usage: check_include_layers.py SOURCE_DIR"""
import os
import re
import sys

# Lowest first; folders on one line share a layer but do not include each other.
LAYERS = [["krzcom"], ["base"], ["communication"], ["collect"], ["nodemapping", "face"],
          ["boundaryface"], ["exchange"], ["selftest"]]
# Folders whose headers every folder above may include.
SHARED = {"krzcom", "base"}
# The internal headers a folder offers the folders above it, each for a stated reason; any other
# header of a folder stays its own.
OFFERED = {
    "face/CKRZFacesMappingA2B_Basic.h": "the face pairing the A/B exchange builds on",
    "boundaryface/KRZBoundaryFaceSteps.h": "the cell packing the exchange's direct route shares",
}
# Public headers live in include/ and belong to the folder that implements them.
PUBLIC = {
    "CCOM_BroadTools.h": "communication",
    "CCOM_BroadTools_CollectLocalArrayToMyid0.h": "collect",
    "CL2GMappingRelation_CollectFVNode2MFENode.h": "nodemapping",
    "CL2GMappingRelation_LocalFVNode2GlobalMFENode.h": "nodemapping",
    "CKRZL2GBroadTools_Face.h": "face",
    "CKRZL2GBroadTools_BoundaryFace.h": "boundaryface",
    "CKRZA2BExchange_BoundaryFace.h": "exchange",
    "CKRZL2GBroadTools_UnitTest.h": "selftest",
}
# The programs' wing, lowest first: each folder includes its own files, the folders below it and
# the library (public headers, krzcom/, and the internals a benchmark times).
WING = [["apps/coupling"], ["apps/mesh", "apps/demo"], ["apps/couple", "apps/bench"], ["apps"],
        ["bench/petsc"]]
GENERATED = {"KRZ3DCOMTools_export.h", "krzcom_export.h", "krzcommpi_export.h",
             "krz3dcomtools_version.h"}


def quoted_includes(path):
    with open(path, encoding="utf-8") as f:
        return re.findall(r'^\s*#\s*include\s+"([^"]+)"', f.read(), re.M)


def above_or_beside(rank, folder, other):
    return rank[other] > rank[folder] or (rank[other] == rank[folder] and other != folder)


def check_wing(root):
    rank = {folder: i for i, line in enumerate(WING) for folder in line}
    owner = {}  # file name -> the wing folder holding it (names are unique in the wing)
    for folder in rank:
        for name in os.listdir(os.path.join(root, folder)):
            if name.endswith((".h", ".cpp")):
                owner[name] = folder
    errors = []
    for name, folder in sorted(owner.items()):
        for t in quoted_includes(os.path.join(root, folder, name)):
            if t.split("/")[0] in ("testing", "tests"):
                errors.append(f"{folder}/{name} includes {t}: the programs never include test code")
                continue
            other = owner.get(t)
            if other is None:
                continue  # the library (its place is checked above)
            if above_or_beside(rank, folder, other):
                errors.append(f"{folder}/{name} includes {t} ({other}), a layer above or beside")
    return errors


def main(root):
    rank = {folder: i for i, line in enumerate(LAYERS) for folder in line}
    files = {}  # path relative to root -> folder it belongs to
    for folder in rank:
        for name in os.listdir(os.path.join(root, folder)):
            if name.endswith((".h", ".cpp")):
                files[f"{folder}/{name}"] = folder
    for name, folder in PUBLIC.items():
        files[f"include/{name}"] = folder

    def resolve(includer, target):
        if target in GENERATED:
            return None
        if "/" in target:
            return target
        if target in PUBLIC:
            return f"include/{target}"
        own = f"{os.path.dirname(includer)}/{target}"
        return own if own in files else f"krzcom/{target}"

    errors, edges = [], {}
    for path, folder in sorted(files.items()):
        edges[path] = []
        for t in quoted_includes(os.path.join(root, path)):
            dep = resolve(path, t)
            if dep is None:
                continue
            if dep not in files:
                errors.append(f"{path}: includes {t}, which is not part of the library")
                continue
            other = files[dep]
            if above_or_beside(rank, folder, other):
                errors.append(f"{path} ({folder}) includes {t} ({other}), a layer above or beside")
            elif (other != folder and other not in SHARED and not dep.startswith("include/")
                  and dep not in OFFERED):
                errors.append(f"{path} ({folder}) includes {t}, a private header of {other}/")
            edges[path].append(dep)

    state = {}

    def visit(node, chain):
        state[node] = "open"
        for dep in edges.get(node, []):
            if state.get(dep) == "open":
                errors.append("include cycle: " + " -> ".join(chain[chain.index(dep):] + [dep]))
            elif dep not in state:
                visit(dep, chain + [dep])
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            visit(node, [node])
    wing = check_wing(root)
    errors += wing
    for e in errors:
        print(e)
    print(f"{len(files)} files, {sum(len(v) for v in edges.values())} includes, "
          f"{len(errors)} problems")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
