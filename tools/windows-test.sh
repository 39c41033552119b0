#!/usr/bin/env bash
# Builds the engine, the command line, the window and their tests for 64-bit
# Windows with MinGW-w64 and runs them under Wine: tools/windows-test.sh
#
# Installs what it needs with apt-get when missing (MinGW-w64, Wine, the
# GoogleTest sources, Xvfb), builds GoogleTest for Windows once into the build
# folder, links every program statically (no DLL needed), runs
# marrowgate_engine_tests.exe, marrowgate_cli_tests.exe and
# marrowgate_window_tests.exe under Wine, then sorts a sample library with
# marrowgate-cli.exe from a folder whose name is not ASCII. Then the window:
# marrowgate.exe is checked for its size (at most 3 MB) and for importing only
# DLLs that Windows has, and marrowgate_win32_tests.exe drives it under Xvfb
# (its start-up must show the window within 2 s). Environment:
# MARROWGATE_WIN_BUILD (build folder, default build-win), JOBS (build jobs,
# default 2), WINEPREFIX (default inside the build folder; the window's test
# has a prefix of its own beside it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MARROWGATE_WIN_BUILD:-$root/build-win}"
jobs="${JOBS:-2}"
toolchain="$root/cmake/mingw-w64.cmake"
started=$(date +%s)
say() { echo "== windows-test.sh [$(( $(date +%s) - started ))s] $*"; }

packages=(cmake g++-mingw-w64-x86-64-posix wine wine64 googletest nlohmann-json3-dev libcli11-dev xvfb xauth)
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

say "cross-building the engine, marrowgate-cli, marrowgate.exe and the tests"
cmake -S "$root" -B "$build/marrowgate" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DMARROWGATE_MINGW_PREFIXES="$gtest_prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DMARROWGATE_BUILD_GUI=ON -DMARROWGATE_BUILD_BENCH=OFF \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
targets=(marrowgate-cli marrowgate_engine_tests marrowgate_cli_tests marrowgate marrowgate_win32_tests)
# The window logic's own tests, where the tree has them.
window_tests=()
# (grep reads the whole list: with -q it would stop early and fail the pipe.)
if cmake --build "$build/marrowgate" --target help | grep '\bmarrowgate_window_tests\b' >/dev/null; then
  window_tests=(marrowgate_window_tests)
fi
cmake --build "$build/marrowgate" -j"$jobs" --target "${targets[@]}" "${window_tests[@]}"
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
for tests in marrowgate_engine_tests marrowgate_cli_tests "${window_tests[@]}"; do
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

say "marrowgate.exe: size and imported DLLs"
exe="$bin/marrowgate.exe"
size=$(stat -c %s "$exe")
echo "marrowgate.exe: $size bytes ($(( (size + 1023) / 1024 )) KB)"
if [ "$size" -gt $(( 3 * 1024 * 1024 )) ]; then
  failed=1
  echo "windows-test.sh: marrowgate.exe is larger than 3 MB" >&2
fi
# Only DLLs that every Windows has: no C++ runtime, no toolkit beside the program.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(echo $dlls)"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|ole32.dll|oleaut32.dll|\
    urlmon.dll|wininet.dll|windowscodecs.dll|advapi32.dll|shlwapi.dll|msvcrt.dll|api-ms-win-*.dll) ;;
    *) failed=1; echo "windows-test.sh: marrowgate.exe imports $dll, which Windows does not have" >&2 ;;
  esac
done

# The window's test in a prefix of its own with a virtual desktop: Wine then
# draws the windows itself. On a bare X server with no window manager, Wine
# waits 2 s for every closed top-level window to be withdrawn by the manager
# that is not there, which no user sees and which would hide a slow "Exit".
say "running marrowgate_win32_tests.exe under Wine and Xvfb"
export WINEPREFIX="$build/wineprefix-window"
if ! xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
    set -e
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wine wineboot --init >/dev/null 2>&1 || true
      wine reg add "HKCU\Software\Wine\Explorer" /v Desktop /d Default /f >/dev/null 2>&1
      wine reg add "HKCU\Software\Wine\Explorer\Desktops" /v Default /d 1400x900 /f >/dev/null 2>&1
      wineserver -w
    fi
    status=0
    wine "$1/marrowgate_win32_tests.exe" --gtest_brief=1 --gtest_color=no || status=$?
    wineserver -k 2>/dev/null || true
    exit $status' _ "$bin"; then
  failed=1
  echo "windows-test.sh: marrowgate_win32_tests.exe failed" >&2
fi
say "done"
exit "$failed"
