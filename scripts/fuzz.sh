#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each for a bounded time, starting
# from the corpus kept in fuzz/corpus/, then merges what was found back into a minimal corpus.
# Usage: scripts/fuzz.sh [seconds per target, default 600] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(match relation relation_edits exchange)
scripts/deps.sh
command -v clang++ >/dev/null || { echo "clang++ is needed: apt-get install -y clang libclang-rt-14-dev"; exit 1; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
for t in "${targets[@]}"; do
  bin="build/fuzz/fuzz/fuzz_$t"
  work="build/fuzz/corpus/$t"
  mkdir -p "$work" "fuzz/corpus/$t"
  echo "== fuzz_$t: $seconds s =="
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build/fuzz/$t-" \
    "$work" "fuzz/corpus/$t" 2>&1 | grep -E "^(stat::|Done|==|SUMMARY|INFO: seed corpus)" || true
  merged="build/fuzz/merged-$t"
  rm -rf "$merged" && mkdir -p "$merged"
  "$bin" -merge=1 "$merged" "fuzz/corpus/$t" "$work" >/dev/null 2>&1
  rm -f "fuzz/corpus/$t"/* && cp "$merged"/* "fuzz/corpus/$t"/
  echo "corpus kept: $(ls "fuzz/corpus/$t" | wc -l) files"
done
