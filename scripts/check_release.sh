#!/usr/bin/env bash
# Release checks: two clean builds of what the zip carries, from two copies of the source in
# different folders, must give byte-identical modules, sounds, tools and zip; each module must import
# exactly its short list of Windows and C library functions, carry no thread-local data or
# start-up sections, and stay within 8 KiB; the tools must need no DLL beyond Windows' own; the
# zip must pass tests/test_release_zip.py. Exits non-zero when any check fails. Run it by hand
# before a release (about 50 s a build on 2 cores). With RELEASE_BUILT set to a build folder that
# holds the release already (.ci/run passes ./test.sh's), that folder is the first build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_tools

OBJDUMP=i686-w64-mingw32-objdump
MAX_BYTES=8192
MODULES=(VQT7_Boomcue VQT7_Drag_Drone)
# Exactly what each module may import, as dll:function, the dll in lower case.
declare -A EXPECTED_IMPORTS=(
  [VQT7_Boomcue]="kernel32.dll:FreeLibrary kernel32.dll:GetModuleHandleA kernel32.dll:GetProcAddress kernel32.dll:LoadLibraryA msvcrt.dll:atof msvcrt.dll:sprintf user32.dll:wsprintfA"
  [VQT7_Drag_Drone]="kernel32.dll:FreeLibrary kernel32.dll:GetModuleHandleA kernel32.dll:GetProcAddress kernel32.dll:LoadLibraryA"
)
ALLOWED_SECTIONS=" .text .data .bss .rdata .edata .idata .rsrc .reloc "
# The sounds in the zip, under the build folder and in the zip alike.
SOUNDS=(sound/QX/Supersonic.wav sound/QX/Speed_Brake.wav)
# The tools in the zip, under the build folder; static, so they import only Windows' own DLLs.
TOOLS=(bin/gaugeinstall.exe bin/gaugecheck.exe bin/gaugebench.exe bin/sound/full/GaugeSound.dll)
WINDOWS_DLLS=" kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll ole32.dll oleaut32.dll windowscodecs.dll 
  bcrypt.dll dbghelp.dll version.dll winmm.dll msacm32.dll "

passed=0
failed=0
pass() { echo "ok:   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() {  # check "what" command...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/vqt7-release.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The second copy of the source sits at another depth under another name, so that a source or
# build path that leaked into a module would make the two differ.
source_a=$PWD
source_b=$work/second/copy/of/vqt7-source
mkdir -p "$source_b"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$source_b"
else
  tar --exclude='./build*' --exclude=./dist -cf - . | tar -xf - -C "$source_b"
fi

build_release() {  # build_release source build: the zip and what it carries, no tests
  (cd "$1" && cmake --preset default -B "$2" -DVQT7_BUILD_TESTS=OFF >/dev/null &&
    cmake --build "$2" -j 2 --target release_zip >/dev/null)
}
build_a=$work/a/build
if [ -n "${RELEASE_BUILT:-}" ]; then
  build_a=$(cd "$RELEASE_BUILT" && pwd)
  echo "Building the release once more, in $work/b, to compare with $build_a"
else
  echo "Building the release twice: $work/a and $work/b"
  build_release "$source_a" "$build_a"
fi
build_release "$source_b" "$work/b/elsewhere/build-two"
gauges_a=$build_a/gauges
gauges_b=$work/b/elsewhere/build-two/gauges

for module in "${MODULES[@]}"; do
  file=$module.gau
  check "$file: identical from both builds" cmp -s "$gauges_a/$file" "$gauges_b/$file"
  check "$file: no build or source path inside" \
    bash -c '! grep -a -q -e "$1" -e "$2" "$3"' _ "$work" "$source_a" "$gauges_a/$file"

  size=$(stat -c %s "$gauges_a/$file")
  check "$file: $size bytes, at most $MAX_BYTES" test "$size" -le "$MAX_BYTES"

  imports=$($OBJDUMP -p "$gauges_a/$file" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll ":" $3 }' | sort | tr '\n' ' ')
  expected=$(tr ' ' '\n' <<<"${EXPECTED_IMPORTS[$module]}" | sort | tr '\n' ' ')
  echo "      $file imports: $imports"
  check "$file: imports exactly its list" test "$imports" = "$expected"

  header=$($OBJDUMP -p "$gauges_a/$file")
  check "$file: no thread-local data directory" grep -q 'Entry 9 00000000 00000000' <<<"$header"
  check "$file: no time stamp in the file header" grep -q 'Time/Date.*1970' <<<"$header"
  sections=$($OBJDUMP -h "$gauges_a/$file" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | tr '\n' ' ')
  unexpected=""
  for section in $sections; do
    [[ $ALLOWED_SECTIONS == *" $section "* ]] || unexpected+=" $section"
  done
  check "$file: no start-up sections (sections: $sections)" test -z "$unexpected"
done

for sound in "${SOUNDS[@]}"; do
  check "$sound: identical from both builds" cmp -s "$build_a/sounds/$sound" "$work/b/elsewhere/build-two/sounds/$sound"
  echo "      $sound: $(stat -c %s "$build_a/sounds/$sound") bytes"
done

for tool in "${TOOLS[@]}"; do
  file=$build_a/$tool
  check "$tool: identical from both builds" cmp -s "$file" "$work/b/elsewhere/build-two/$tool"
  check "$tool: no build or source path inside" \
    bash -c '! grep -a -q -e "$1" -e "$2" "$3"' _ "$work" "$source_a" "$file"
  dlls=$($OBJDUMP -p "$file" | awk '/DLL Name:/ { print tolower($3) }' | sort -u | tr '\n' ' ')
  foreign=""
  for dll in $dlls; do
    [[ $WINDOWS_DLLS == *" $dll "* ]] || foreign+=" $dll"
  done
  echo "      $tool: $(stat -c %s "$file") bytes, imports from: $dlls"
  check "$tool: needs no DLL beyond Windows' own" test -z "$foreign"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_a/CMakeCache.txt")
zip_name=VQT7-gauges-$version.zip
zip_a=$build_a/release/$zip_name
check "$zip_name: identical from both builds" cmp -s "$zip_a" "$work/b/elsewhere/build-two/release/$zip_name"
# The zip's own test, its failures shown below the line.
check "$zip_name: laid out as it installs, its files the built ones, its texts and sums right" \
  bash -c 'set -o pipefail; python3 tests/test_release_zip.py "$@" | sed -n "/^FAIL/s/^/      /p"' _ \
  "$zip_a" "$build_a" "$version"
echo "      $zip_name: $(stat -c %s "$zip_a") bytes, sha256 $(sha256sum "$zip_a" | cut -c1-64)"

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
