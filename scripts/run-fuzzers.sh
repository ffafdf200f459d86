#!/usr/bin/env bash
# Runs each libFuzzer target of build/fuzz for a while (default 45 s each; longer runs on
# demand: scripts/run-fuzzers.sh 3600). Fails when a target is missing, ends with a non-zero
# status (a finding, a crash at start, a bad option) or executed no input at all; a finding
# leaves its input in build/fuzz/findings.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-45}
findings="$repo_root/build/fuzz/findings"
mkdir -p "$findings"
for fuzzer in answer_file_fuzzer launch_folder_fuzzer; do
  binary="$repo_root/build/fuzz/tests/fuzz/$fuzzer"
  [ -x "$binary" ] || { echo "$fuzzer: no binary at $binary" >&2; exit 1; }
  corpus="$repo_root/build/fuzz/corpus/$fuzzer"
  mkdir -p "$corpus"
  output="$repo_root/build/fuzz/$fuzzer.log"
  echo "fuzzing $fuzzer for ${seconds}s"
  status=0
  "$binary" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/$fuzzer-" "$corpus" >"$output" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|==|SUMMARY)' "$output" || true
  units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$output")
  if [ "$status" -ne 0 ]; then
    echo "$fuzzer ended with status $status (output: $output)" >&2
    tail -20 "$output" >&2
    exit 1
  fi
  if [ -z "$units" ] || [ "$units" -eq 0 ]; then
    echo "$fuzzer executed no input (output: $output)" >&2
    exit 1
  fi
  if compgen -G "$findings/$fuzzer-*" >/dev/null; then
    echo "$fuzzer found a failing input: $(ls "$findings/$fuzzer-"*)" >&2
    exit 1
  fi
done
