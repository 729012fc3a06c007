# Shared by run.sh, test.sh and the scripts: installs what is missing, builds, and manages Wine.
# Sourced, not run. BUILD_DIR and WINEPREFIX may be set by the caller.

: "${BUILD_DIR:=build}"
export WINEDEBUG=-all
# Never offer to install Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
: "${WINEPREFIX:=$HOME/.wine-vqt7}"
export WINEPREFIX

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the cross compiler, 32-bit Wine and the build tools when any is missing.
ensure_tools() {
  local missing=()
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
  command -v i686-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-i686)
  command -v cmake >/dev/null || missing+=(cmake)
  command -v make >/dev/null || missing+=(make)
  command -v python3 >/dev/null || missing+=(python3)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
  dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine wine32:i386)
  # The native build of the pure code: clang with its sanitizer and libFuzzer runtimes.
  command -v clang++ >/dev/null || missing+=(clang)
  local runtime=libclang-rt-14-dev
  if command -v clang++ >/dev/null; then
    runtime=libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev
    [ -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a" ] || missing+=("$runtime")
  else
    missing+=("$runtime")
  fi
  # The report page's test opens it in a real browser, headless, through WebDriver.
  command -v chromium >/dev/null || missing+=(chromium)
  command -v chromedriver >/dev/null || missing+=(chromium-driver)
  # The test scripts measure with the field's libraries: WebDriver, images, arrays, signals.
  local module package
  for module in selenium:python3-selenium PIL:python3-pil numpy:python3-numpy scipy:python3-scipy; do
    package=${module#*:}
    /usr/bin/python3 -c "import ${module%%:*}" 2>/dev/null || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync can fail one index; try again before going on with
  # whatever lists arrived.
  local try
  for try in 1 2 3; do
    as_root apt-get update -qq && break
    echo "apt-get update failed (try $try of 3)" >&2
    [ "$try" -lt 3 ] && sleep 20
  done
  local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends)
  if ! as_root "${install[@]}" "${missing[@]}" >/dev/null; then
    # When one architecture's security index is missing, the 64-bit and 32-bit candidates of a
    # shared library differ and apt refuses; the release's own suite has both at one version.
    local suite
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$suite" ] || return 1
    echo "Retrying the install from the $suite suite alone" >&2
    as_root "${install[@]}" -t "$suite" "${missing[@]}" >/dev/null
  fi
}

build_all() {
  cmake --preset default -B "$BUILD_DIR" >/dev/null
  cmake --build "$BUILD_DIR" -j 2
}

# The pure code built for this machine under ASan and UBSan, its unit tests and fuzz targets.
: "${NATIVE_BUILD_DIR:=build-native}"
build_native() {
  cmake --preset native -B "$NATIVE_BUILD_DIR" >/dev/null
  cmake --build "$NATIVE_BUILD_DIR" -j 2
}

# Our Wine is the 32-bit one, so it needs a kernel that runs 32-bit x86 programs. Some virtual
# machines' kernels run 64-bit code only (booted without IA-32 emulation): there the loader
# fails with "Exec format error" and no Windows program can run on the machine at all.
wine_runs_here() {
  wine --version >/dev/null 2>&1 </dev/null
}

# Said once, to stderr, where the Wine stage is left out, so that no log reads as a full pass.
wine_unavailable_notice() {
  echo "NOTE: this machine's kernel runs no 32-bit x86 program ('wine --version' fails), so what" \
    "runs our Windows programs under Wine is left out here: $1. Set VQT7_REQUIRE_WINE=1 to make" \
    "that a failure." >&2
  [ "${VQT7_REQUIRE_WINE:-0}" != 1 ]
}

# Makes the Wine prefix once (about 10 s) and turns off the crash dialog, so that a crashing
# program exits instead of waiting for a click.
wine_prepare() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    wineboot --init >/dev/null 2>&1 </dev/null
    wineserver -w >/dev/null 2>&1 </dev/null
  fi
  if ! grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    wineserver -w >/dev/null 2>&1 </dev/null
  fi
}

# One persistent server for the whole run: each program then starts in a fraction of a second.
# Started after the prefix exists, with its output detached, so nothing reading a program's
# output waits on Wine's helper processes.
#
# Wine's desktop process (explorer.exe) ends a second after the last program using the desktop
# exits, and the next program that needs it starts it again, handing it every file that program
# has open: a test's output files stay open behind the test's back and CTest's pipe never
# closes. So a program that does nothing (cmd.exe waiting on a pipe only this shell writes to)
# uses the desktop for the whole run, and the desktop process is started under it with every
# standard handle on /dev/null, before any test.
wine_start() {
  # A server left running (a persistent one from an interrupted run) would make the waits
  # below hang: end it first. Each checkout or helper should use its own WINEPREFIX.
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wine_prepare
  wineserver -p >/dev/null 2>&1 </dev/null &
  # The helper services, now rather than under the first test.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  local fifo
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/vqt7-desktop.XXXXXX")
  mkfifo "$fifo"
  wine cmd.exe /c pause <"$fifo" >/dev/null 2>&1 &
  exec {WINE_DESKTOP_HOLDER}>"$fifo"
  rm -f "$fifo"
  # Asking for the desktop window starts the desktop process and waits until it is up.
  wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null || true
}

wine_stop() {
  # The holder reads end-of-file and exits; the server then ends everything else.
  if [ -n "${WINE_DESKTOP_HOLDER:-}" ]; then
    exec {WINE_DESKTOP_HOLDER}>&-
    WINE_DESKTOP_HOLDER=
  fi
  wineserver -k >/dev/null 2>&1 </dev/null || true
}
