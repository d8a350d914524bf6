#!/usr/bin/env bash
# Builds and runs the whole test suite: unit tests with 1 to 5 in-process ranks, the same
# multi-rank tests under mpiexec -n 1..4, and the find_package consumer.
# Usage: scripts/test.sh [preset]   (default, sanitize, tsan, static, release; default: default)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/deps.sh
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
