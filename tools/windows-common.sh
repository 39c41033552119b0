# What tools/windows-zip.sh and tools/windows-installer.sh share, read with
# ". tools/windows-common.sh" once $root is set: the packages, the Windows
# build, Wine on a virtual display and the test of the window.
#
# Environment: MARROWGATE_WIN_BUILD (build folder, default build-win), JOBS
# (build jobs, default 2).

win_build="${MARROWGATE_WIN_BUILD:-$root/build-win}"
version=$(sed -n 's/^project(Marrowgate VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# install_missing PACKAGE...: apt-get installs those that are not installed.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# cross_build TARGET...: the Release build for 64-bit Windows, statically
# linked, in $win_build/zip; programs land in its bin folder.
cross_build() {
  cmake -S "$root" -B "$win_build/zip" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMARROWGATE_BUILD_GUI=ON -DMARROWGATE_BUILD_TESTS=OFF \
    -DMARROWGATE_BUILD_BENCH=OFF >/dev/null
  cmake --build "$win_build/zip" -j"${JOBS:-2}" --target "$@"
}
cross_bin="$win_build/zip/bin"

# Commands run when the script ends, however it ends, the last one given first.
exit_commands=()
at_exit() { exit_commands=("$1" "${exit_commands[@]}"); }
run_exit_commands() {
  local command
  for command in "${exit_commands[@]}"; do eval "$command" || true; done
}
trap run_exit_commands EXIT

# start_wine PREFIX: Wine in PREFIX (made when missing) on a virtual display of
# its own; Wine and the display are stopped when the script ends. Wine neither
# offers to install Mono or Gecko nor adds entries to this machine's menus.
start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # No news is fetched from the network during a test.
  export MARROWGATE_SITE_URL=http://127.0.0.1:9
  local display_file="$win_build/xvfb-display.$$"
  mkdir -p "$win_build"
  : >"$display_file"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$display_file" 2>/dev/null &
  local xvfb=$!
  at_exit "kill $xvfb; wait $xvfb 2>/dev/null; rm -f '$display_file'"
  local waited=0
  until [ -s "$display_file" ]; do
    kill -0 "$xvfb" 2>/dev/null && [ $waited -lt 100 ] || { echo "Xvfb did not start" >&2; return 1; }
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$(head -n 1 "$display_file")"
  at_exit "wineserver -k 2>/dev/null"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # wineboot now and then leaves a prefix Wine cannot start in ("could not
    # load kernel32.dll"): such a prefix is made again, up to three times.
    local attempt
    for attempt in 1 2 3; do
      wine wineboot --init >/dev/null 2>&1 || true
      wineserver -w
      wine cmd /c exit >/dev/null 2>&1 && return 0
      echo "start_wine: Wine cannot start in the new prefix $WINEPREFIX (attempt $attempt of 3)" >&2
      wineserver -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    done
    return 1
  fi
}

# is_library OUTPUT INPUT: OUTPUT begins with the marker line of INPUT and
# ends with *END*.
is_library() {
  [ -f "$1" ] && [ "$(head -n 1 "$1")" = "$(head -n 1 "$2")" ] && [ "$(tail -n 1 "$1")" = $'*END*\r' ]
}

# drive_window PROGRAM FILE...: starts the window program (a Unix path) with
# the files under Wine, sorts them by initial through its controls and closes
# it (tools/windows-driver).
drive_window() {
  local program args=() file
  program="$(winepath -w "$1")"
  shift
  for file in "$@"; do args+=("$(winepath -w "$file")"); done
  wine "$cross_bin/marrowgate-window-driver.exe" --timeout 120 "$program" "${args[@]}"
}
