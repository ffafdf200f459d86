#!/usr/bin/env bash
# Runs each libFuzzer target of build/fuzz for a while (default 45 s each; longer runs on
# demand: scripts/run-fuzzers.sh 3600). A finding fails the run and leaves its input in
# build/fuzz/findings.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-45}
findings="$repo_root/build/fuzz/findings"
mkdir -p "$findings"
for fuzzer in answer_file_fuzzer launch_folder_fuzzer; do
  corpus="$repo_root/build/fuzz/corpus/$fuzzer"
  mkdir -p "$corpus"
  echo "fuzzing $fuzzer for ${seconds}s"
  "$repo_root/build/fuzz/tests/fuzz/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/$fuzzer-" "$corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|==|SUMMARY)' || true
  if compgen -G "$findings/$fuzzer-*" >/dev/null; then
    echo "$fuzzer found a failing input: $(ls "$findings/$fuzzer-"*)" >&2
    exit 1
  fi
done
