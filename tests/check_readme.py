#!/usr/bin/env python3
"""The README's examples, run as a reader would run them, against an installed package.

Every fenced block of README.md is taken: the C, C++, Fortran and Python programs are built
against the package (pkg-config, the Fortran module, PYTHONPATH) and run under mpiexec or on
in-process ranks, their output checked against what the text promises; the CMake snippet is
built as a project of its own; every `krz3d` command line is parsed by the installed krz3d (its
options checked with --help). A block of another language, or a new block this script does not
know, fails the check, so the README cannot drift from the code unnoticed.

Usage: check_readme.py README PREFIX LIBDIR WORKDIR MPIEXEC PYTHON PYTHONPATH_DIR"""
import os
import re
import shlex
import subprocess
import sys

readme, prefix, libdir, work, mpiexec, python, pythonpath = sys.argv[1:8]
prefix, work, pythonpath = (os.path.abspath(p) for p in (prefix, work, pythonpath))
os.makedirs(work, exist_ok=True)
env = dict(os.environ)
env.pop("LD_LIBRARY_PATH", None)
env["PKG_CONFIG_PATH"] = os.path.join(prefix, libdir, "pkgconfig")
failures = []


def run(cmd, cwd=work, extra=None, **kw):
    e = dict(env, **(extra or {}))
    r = subprocess.run(cmd, cwd=cwd, env=e, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed ({r.returncode}):\n{r.stdout}\n{r.stderr}")
    return r.stdout


def pkg(*modules):
    return shlex.split(run(["pkg-config", "--cflags", "--libs", *modules]))


def expect(what, text, needle):
    if needle not in text:
        raise RuntimeError(f"{what}: expected {needle!r} in:\n{text}")


def check_c(code):
    path = os.path.join(work, "readme.c")
    open(path, "w").write(code)
    open(os.path.join(work, "solver.c"), "w").write(code)
    run(["mpicc", "-std=c99", "-o", "readme_c", path, *pkg("KRZ3DCOMTools-c", "KRZ3DCOMTools-mpi")])
    expect("C", run([mpiexec, "--oversubscribe", "-n", "3", "./readme_c"]), "global[6] = 22")


def check_cpp(code):
    # A fragment of a solver: put in a program with its MPI_Init and a local array.
    program = ("#include <mpi.h>\n#include <cstdio>\n" + code.replace(
        "CKRZCom_MPI com", "int main(int argc, char** argv) {\n  MPI_Init(&argc, &argv);\n  {\n"
        "  const int nLocal = 2;\n  double local[3] = {0, 1, 2};\nCKRZCom_MPI com", 1)
        + "  if (com.Rank() == 0) std::printf(\"gathered %g\\n\", global[2 * com.Size()]);\n"
        "  delete[] global;\n  }\n  MPI_Finalize();\n}\n")
    path = os.path.join(work, "readme.cpp")
    open(path, "w").write(program)
    open(os.path.join(work, "solver.cpp"), "w").write(program)
    run(["mpicxx", "-std=c++17", "-o", "readme_cpp", path, *pkg("KRZ3DCOMTools-mpi")])
    expect("C++", run([mpiexec, "--oversubscribe", "-n", "2", "./readme_cpp"]), "gathered 2")


def check_fortran(code):
    path = os.path.join(work, "readme.f90")
    open(path, "w").write(code)
    include = os.path.join(prefix, "include", "KRZ3DCOMTools", "fortran")
    lib = os.path.join(prefix, libdir)
    run(["mpif90", "-o", "readme_f90", path, f"-I{include}", f"-L{lib}", f"-Wl,-rpath,{lib}",
         "-lKRZ3DCOMTools_Fortran", "-lKRZ3DCOMTools_C"])
    out = run([mpiexec, "--oversubscribe", "-n", "2", "./readme_f90"])
    values = [float(v) for v in out.split()]
    if values != [1.0, 2.0, 11.0, 12.0]:
        raise RuntimeError(f"Fortran: printed {out!r}")


def check_python(code):
    path = os.path.join(work, "readme.py")
    open(path, "w").write(code)
    out = run([python, path], extra={"PYTHONPATH": pythonpath})
    expect("Python", out, "[ 0.  1.  2. 11. 12. 21. 22.]")


def check_cmake(code):
    project = os.path.join(work, "readme_cmake")
    os.makedirs(project, exist_ok=True)
    open(os.path.join(project, "CMakeLists.txt"), "w").write(
        "cmake_minimum_required(VERSION 3.20)\nproject(readme LANGUAGES C CXX)\n"
        "add_executable(solver solver.cpp)\n" + code)
    open(os.path.join(project, "solver.cpp"), "w").write(
        "#include <CKRZCom_MPI.h>\nint main() { return 0; }\n")
    run(["cmake", "-S", project, "-B", os.path.join(project, "build"),
         f"-DCMAKE_PREFIX_PATH={prefix}"])
    run(["cmake", "--build", os.path.join(project, "build")])


def check_sh(code):
    # Every krz3d command line: the installed krz3d accepts its subcommand and options. Every
    # compile line builds the README's own C++ or C program (solver.cpp, solver.c).
    krz3d = os.path.join(prefix, "bin", "krz3d")
    for line in code.splitlines():
        command = line.split("#")[0].strip()
        if command.startswith(("mpicxx ", "mpicc ")):
            run(["bash", "-c", command + " -o solver_" + command.split()[0]])
            continue
        words = shlex.split(command)
        if "mpiexec" in words:
            words = words[words.index("mpiexec") + 3:]  # mpiexec -n N
        if not words or not words[0].endswith("apps/krz3d"):
            continue
        args = words[1:]
        # The subcommand's help, which must name every option the line gives.
        shown = run([krz3d, *args, "--help"])
        for option in (a.split("=")[0] for a in args if a.startswith("--") and a != "--help"):
            if not re.search(rf"(^|[ ,]){re.escape(option)}\b", shown, re.M):
                raise RuntimeError(f"krz3d {' '.join(args)}: no option {option} in its help")


CHECKS = {"c": check_c, "cpp": check_cpp, "fortran": check_fortran, "python": check_python,
          "cmake": check_cmake, "sh": check_sh}
text = open(readme).read()
blocks = re.findall(r"^```(\w*)\n(.*?)^```", text, re.M | re.S)
# The programs first: the compile lines of the shell blocks build them again as solver.*.
order = sorted(range(len(blocks)), key=lambda k: blocks[k][0] == "sh")
for n in (k + 1 for k in order):
    language, code = blocks[n - 1]
    try:
        if language not in CHECKS:
            raise RuntimeError(f"a block in {language or 'no language'} that nothing checks")
        CHECKS[language](code)
        print(f"README block {n} ({language}): ok")
    except Exception as e:  # every block is tried; all failures are reported
        failures.append(f"README block {n} ({language}): {e}")
for f in failures:
    print(f)
print(f"check_readme: {len(blocks)} blocks, {len(failures)} failed")
sys.exit(1 if failures else 0)
