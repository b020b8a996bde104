#!/usr/bin/env bash
# Sets up a Debian machine for sxe, builds it, and then runs the demo or every test.
#
#   ./setup.sh demo   install what is missing, build, pack the example and run it natively
#                     and under wine
#   ./setup.sh test   install what is missing, build, run every test (also in a build with
#                     AddressSanitizer and UndefinedBehaviorSanitizer, and short fuzz runs)
#   ./setup.sh bench  install what is missing and the peers, build, run the benchmark
#
# Both are safe to repeat: nothing is installed or rebuilt that is already there.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
BUILD=${SXE_BUILD_DIR:-$ROOT/build}

PACKAGES=(cmake make g++ pkg-config zlib1g-dev libgtest-dev googletest
          g++-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev
          wine wine32:i386 xvfb xauth
          mscompress libmspack-dev 7zip python3-pefile icoutils python3-pytest clang-format
          clang-14 libclang-rt-14-dev time)
BENCH_PACKAGES=(makeself p7zip-full nsis python3-matplotlib)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setup: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" -j"$(nproc)" >/dev/null
}

# The posix flavour, sxe-pack and their tests again with the sanitizers, plus the fuzz targets.
ASAN_BUILD=${SXE_ASAN_BUILD_DIR:-$ROOT/build-asan}
build_sanitized() {
  CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSXE_SANITIZE=ON -DSXE_FUZZ=ON -DSXE_NO_WIN32=ON >/dev/null
  cmake --build "$ASAN_BUILD" -j"$(nproc)" >/dev/null
}

export WINEPREFIX=$BUILD/wine/prefix WINEARCH=win32 WINEDEBUG=-all

demo() {
  # The packages run in a directory of their own: a package extracts next to itself and
  # removes what it extracted afterwards.
  local src=$BUILD/demo/src out=$BUILD/demo/out pack=$BUILD/stage/bin/sxe-pack
  rm -rf "$BUILD/demo" && mkdir -p "$src" "$out"
  cp "$BUILD/examples/hello" "$BUILD/win32/examples/hello.exe" "$src/"
  cp -r "$ROOT/examples/hello/data" "$src/data"
  echo "== posix: sxe-pack create --target posix -C src -o out/hello-pkg hello data"
  "$pack" create --target posix -C "$src" -o "$out/hello-pkg" hello data
  "$pack" list "$out/hello-pkg"
  set +e
  "$out/hello-pkg" one "two words"; echo "== exit code: $?"
  set -e
  echo "== win32: sxe-pack create -C src -o out/hello-pkg.exe hello.exe data (run under wine)"
  "$pack" create -C "$src" -o "$out/hello-pkg.exe" hello.exe data
  "$pack" list "$out/hello-pkg.exe"
  bash "$ROOT/tests/wine_prefix.sh" start
  set +e
  wine "$out/hello-pkg.exe" one "two words" three; echo "== exit code: $?"
  set -e
  bash "$ROOT/tests/wine_prefix.sh" stop
  echo "== left in out/: $(ls "$out" | tr '\n' ' ')"
}

run_tests() {
  clang-format --dry-run -Werror $(git -C "$ROOT" ls-files '*.cpp' '*.h' '*.c' 2>/dev/null ||
                                    find launcher package codecs inflate platform pack tests \
                                      -name '*.cpp' -o -name '*.h' -o -name '*.c')
  trap 'bash "$ROOT/tests/wine_prefix.sh" stop >/dev/null 2>&1 || true' EXIT
  rm -rf "$BUILD/fault-matrix" "$ASAN_BUILD/fault-matrix"
  ctest --test-dir "$BUILD" --output-on-failure --timeout 3000
  cat "$BUILD"/fault-matrix/*.txt 2>/dev/null || true
  echo "== with AddressSanitizer and UndefinedBehaviorSanitizer, and short fuzz runs"
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$ASAN_BUILD" --output-on-failure --timeout 3000
  # what each fuzz target managed in its short run
  grep -h -E "^[0-9]+/[0-9]+ Testing: fuzz_|^Done [0-9]+ runs" \
    "$ASAN_BUILD/Testing/Temporary/LastTest.log" | paste - - | sed 's/^[0-9/]* Testing: //'
  cat "$ASAN_BUILD"/fault-matrix/*.txt 2>/dev/null | sed "s/^/with the sanitizers: /" || true
}

case "${1:-}" in
demo) install_missing "${PACKAGES[@]}"; build; demo ;;
test) install_missing "${PACKAGES[@]}"; build; build_sanitized; run_tests ;;
bench) install_missing "${PACKAGES[@]}" "${BENCH_PACKAGES[@]}"; build
       /usr/bin/python3 "$ROOT/bench/bench.py" --build "$BUILD" ;;
*) echo "usage: $0 demo|test|bench" >&2; exit 2 ;;
esac
