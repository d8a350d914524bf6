#!/usr/bin/env bash
# Installs the Debian packages KRZ3DCOMTools builds with, when they are missing.
# As root it installs them; otherwise it prints the apt-get line to run and fails.
set -euo pipefail
packages=(cmake g++ gfortran make pkg-config libgtest-dev libcli11-dev openmpi-bin libopenmpi-dev
  python3-dev python3-numpy python3-mpi4py python3-pytest pybind11-dev
  libmetis-dev libgmsh-dev gmsh libnanoflann-dev nlohmann-json3-dev python3-meshio python3-vtk9
  valgrind dpkg-dev doxygen)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run:"
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
  exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
