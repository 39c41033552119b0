#!/usr/bin/env bash
# Builds the engine, the command line and their tests for 64-bit Windows with
# MinGW-w64 and runs them under Wine: tools/windows-test.sh
#
# Installs what it needs with apt-get when missing (MinGW-w64, Wine, the
# GoogleTest sources), builds GoogleTest for Windows once into the build
# folder, links every program statically (no DLL needed), runs
# marrowgate_engine_tests.exe and marrowgate_cli_tests.exe under Wine, then
# sorts a sample library with marrowgate-cli.exe from a folder whose name is
# not ASCII. Environment: MARROWGATE_WIN_BUILD (build folder, default
# build-win), JOBS (build jobs, default 2), WINEPREFIX (default inside the
# build folder).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MARROWGATE_WIN_BUILD:-$root/build-win}"
jobs="${JOBS:-2}"
toolchain="$root/cmake/mingw-w64.cmake"
started=$(date +%s)
say() { echo "== windows-test.sh [$(( $(date +%s) - started ))s] $*"; }

packages=(cmake g++-mingw-w64-x86-64-posix wine wine64 googletest nlohmann-json3-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

gtest_prefix="$build/googletest"
if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  say "building GoogleTest for Windows from /usr/src/googletest"
  cmake -S /usr/src/googletest -B "$build/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$build/googletest-build" -j"$jobs"
  cmake --install "$build/googletest-build" >/dev/null
fi

say "cross-building the engine, marrowgate-cli and the tests"
cmake -S "$root" -B "$build/marrowgate" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DMARROWGATE_MINGW_PREFIXES="$gtest_prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DMARROWGATE_BUILD_GUI=OFF -DMARROWGATE_BUILD_BENCH=OFF \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$build/marrowgate" -j"$jobs" --target marrowgate-cli marrowgate_engine_tests marrowgate_cli_tests
bin="$build/marrowgate/bin"

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "creating the Wine prefix $WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

# The real libraries, when present, reach the tests by a Windows path.
corpus="${MARROWGATE_CORPUS_DIR:-$root/../shared/corpus}"
if [ -d "$corpus" ]; then
  MARROWGATE_CORPUS_DIR="$(winepath -w "$corpus" 2>/dev/null)"
  export MARROWGATE_CORPUS_DIR
fi

failed=0
for tests in marrowgate_engine_tests marrowgate_cli_tests; do
  say "running $tests.exe under Wine"
  if ! wine "$bin/$tests.exe" --gtest_brief=1 --gtest_color=no; then
    failed=1
    echo "windows-test.sh: $tests.exe failed" >&2
  fi
done

say "marrowgate-cli.exe smoke run in a folder whose name is not ASCII"
smoke="$build/smoke"
rm -rf "$smoke"
app="$smoke/Bibliothèque ünï"
mkdir -p "$app/Eingänge"
cp "$root/samples/logic.p" "$app/Eingänge/logik.p"
cp "$root/samples/footprints.d" "$app/Eingänge/gehäuse.d"
windows_app="$(winepath -w "$app")"
if wine "$bin/marrowgate-cli.exe" --sort pad-count --app-folder "$windows_app" \
     --decal-file "$windows_app\\Eingänge\\gehäuse.d" "$windows_app\\Eingänge\\logik.p" >"$smoke/summary.txt" &&
   grep -q '^\*END\*' "$app/lib/LIB_14.p" && head -1 "$app/lib/LIB_14.p" | grep -q 'PADS-LIBRARY-PART-TYPES-V4'; then
  cat "$smoke/summary.txt"
else
  failed=1
  echo "windows-test.sh: the marrowgate-cli.exe smoke run failed" >&2
  cat "$smoke/summary.txt" >&2 || true
fi

wineserver -k 2>/dev/null || true
say "done"
exit "$failed"
