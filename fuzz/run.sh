#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a fuzzer from its seed corpus (corpus/NAME for NAME_fuzz) for a
# bounded time.
#   run.sh FUZZER [SECONDS]                 SECONDS, or about a minute
#   DTR_FUZZ_SECONDS=3600 run.sh FUZZER     an hour
# New inputs go to a scratch directory; the seeds in the repository stay as they are.
# Any crash, hang (over 10 s on one input) or disagreement fails the run.
set -euo pipefail
fuzzer=$(realpath "$1")
seeds=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus/$(basename "$fuzzer" _fuzz)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
status=0
"$fuzzer" -max_total_time="${DTR_FUZZ_SECONDS:-${2:-60}}" -timeout=10 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch" "$seeds" >log 2>&1 || status=$?
if ((status)); then
  cat log
else
  grep -E '^(#[0-9]+ +(INITED|DONE)|stat::|INFO: seed corpus)' log
fi
exit "$status"
