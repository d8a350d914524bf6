#!/usr/bin/env bash
# Runs the benchmarks of docs/PERFORMANCE.md: a release build, then every benchmark on the
# threads engine (2 and 4 ranks) and under mpiexec with 2 and 4 ranks.
# Usage: scripts/bench.sh [transfer|collect|match|exchange ...]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
# PETSc is the baseline of krz3d-bench-petsc only, never a dependency of the library or its tests.
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' libpetsc-real-dev 2>/dev/null | grep -q "install ok installed"; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libpetsc-real-dev >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
krz3d=build/release/apps/krz3d
benches=("$@")
[ ${#benches[@]} -eq 0 ] && benches=(transfer collect match exchange)
for b in "${benches[@]}"; do
  echo "== krz3d bench $b =="
  reps=7
  [ "$b" = match ] && reps=3
  [ "$b" = exchange ] && reps=5
  "$krz3d" bench "$b" --reps "$reps"
  for n in 2 4; do
    if [ "$b" = exchange ]; then
      mpiexec -n "$n" "$krz3d" bench "$b" --engine mpi --reps "$reps"
    else
      mpiexec -n "$n" "$krz3d" bench "$b" --engine mpi --reps "$reps" | tail -n +2
    fi
  done
done
if [ -x build/release/bench/petsc/krz3d-bench-petsc ]; then
  echo "== krz3d-bench-petsc =="
  for n in 2 4; do mpiexec -n "$n" build/release/bench/petsc/krz3d-bench-petsc; done
fi
