#!/usr/bin/env bash
# Main job: builds KRZ3DCOMTools, runs the built-in self-test and the demonstration on 4
# in-process ranks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
build/default/apps/krz3d selftest --ranks 4
build/default/apps/krz3d demo --ranks 4
