#!/usr/bin/env bash
# Fuzzes the engine for a bounded time: tools/fuzz.sh [SECONDS [OPTION...]]
# (default 60 seconds; OPTIONs go to libFuzzer after its usual ones, e.g.
# -runs=10000000, -jobs=2 -workers=2 for a campaign).
#
# Builds the libFuzzer target (clang, AddressSanitizer, UBSan) in build-fuzz,
# then runs it over the committed seeds (tests/fuzz/corpus), the samples, and
# the real libraries of the shared corpus folder when it is there (wrapped into
# cases at run time, never stored in the project). New inputs go to a scratch
# folder; a broken property or crash leaves its input in build-fuzz/artifacts
# and makes the script fail. Environment: MARROWGATE_FUZZ_BUILD (build folder),
# MARROWGATE_CORPUS_DIR (real libraries), MARROWGATE_FUZZ_KEEP (folder that
# keeps the grown corpus), MARROWGATE_FUZZ_SANITIZE (OFF builds without the
# sanitizers, several times faster, for long campaigns; give such a build a
# folder of its own), JOBS (build jobs, default 2).
set -euo pipefail
seconds="${1:-60}"
shift $(( $# > 0 ? 1 : 0 ))
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MARROWGATE_FUZZ_BUILD:-$root/build-fuzz}"
real_corpus="${MARROWGATE_CORPUS_DIR:-$root/../shared/corpus}"

for tool in clang clang++ cmake; do
  command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 2; }
done

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DMARROWGATE_FUZZ=ON \
  -DMARROWGATE_FUZZ_SANITIZE="${MARROWGATE_FUZZ_SANITIZE:-ON}" -DMARROWGATE_BUILD_TESTS=OFF \
  -DMARROWGATE_BUILD_GUI=OFF -DMARROWGATE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target marrowgate_fuzz

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
grown="${MARROWGATE_FUZZ_KEEP:-$scratch/grown}"
mkdir -p "$grown" "$scratch/real" "$build/artifacts"

# One case per sort key for each real part-type library, with the decal
# libraries of its folder appended (byte 0 bit 2) for the decal-based keys;
# its last run fails at the first open for reading (bytes 1 and 2).
byte() { printf "\\$(printf '%03o' "$1")"; }
n=0
if [ -d "$real_corpus" ]; then
  while IFS= read -r -d '' parts; do
    decal="$(find "$(dirname "$parts")" -maxdepth 1 -name '*.d' -print -quit)"
    for key in 0 1 2 3; do
      n=$((n + 1))
      if [ -n "$decal" ]; then
        { byte $((key | 12)); byte 0; byte 0; cat "$parts"; printf '\n%%%%%%%%\n'; cat "$decal"; } >"$scratch/real/case-$n"
      else
        { byte $((key | 8)); byte 0; byte 0; cat "$parts"; } >"$scratch/real/case-$n"
      fi
    done
  done < <(find "$real_corpus" -name '*.p' -print0)
  echo "fuzz.sh: $n cases from the real libraries in $real_corpus"
else
  echo "fuzz.sh: no real libraries at $real_corpus; fuzzing from the committed seeds only"
fi

set +e
"$build/bin/marrowgate_fuzz" -max_total_time="$seconds" -print_final_stats=1 -max_len=8192 -timeout=20 \
  -rss_limit_mb=2048 -dict="$root/tests/fuzz/marrowgate.dict" -artifact_prefix="$build/artifacts/" "$@" \
  "$grown" "$root/tests/fuzz/corpus" "$scratch/real" 2>&1 |
  grep -Ev '^#[0-9]+[[:space:]]+(NEW|REDUCE)'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "fuzz.sh: the fuzz target failed (exit $status); its input is in $build/artifacts" >&2
  exit "$status"
fi
