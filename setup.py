"""Builds the extension module through the project's CMake build (see pyproject.toml)."""
import os
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        source = os.path.dirname(os.path.abspath(__file__))
        target = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
        build = os.path.join(self.build_temp, "cmake")
        os.makedirs(build, exist_ok=True)
        subprocess.check_call([
            "cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
            "-DBUILD_SHARED_LIBS=OFF", "-DKRZ3DCOMTOOLS_BUILD_TESTS=OFF",
            "-DKRZ3DCOMTOOLS_BUILD_APPS=OFF", "-DKRZ3DCOMTOOLS_WITH_FORTRAN=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ])
        subprocess.check_call(["cmake", "--build", build, "--target", "krz3dcomtools_python",
                               "-j", str(os.cpu_count() or 1)])
        module_dir = os.path.join(build, "bindings", "python", "module")
        for name in os.listdir(module_dir):
            if name.startswith("krz3dcomtools") and name.endswith(".so"):
                os.makedirs(target, exist_ok=True)
                self.copy_file(os.path.join(module_dir, name), os.path.join(target, name))


setup(ext_modules=[CMakeExtension("krz3dcomtools")], cmdclass={"build_ext": CMakeBuild})
