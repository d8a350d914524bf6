#!/usr/bin/env bash
# valgrind memcheck over the self-test on 3 in-process ranks and the demo: no errors, no leaks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
command -v valgrind >/dev/null || { echo "valgrind is needed: apt-get install -y valgrind"; exit 1; }
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
run() {
  echo "== valgrind $* =="
  valgrind --quiet --error-exitcode=3 --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect build/default/apps/krz3d "$@" > /dev/null
  echo "clean"
}
run selftest --ranks 3
run demo --ranks 4
