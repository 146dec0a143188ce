#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR with the prefix /usr, as a
# packager does, and checks what a user gets there: every program of the
# build's bin/ folder installed, answering --version with the project's
# version, with a manual page and a help page that it finds from where it
# was installed; the utility library with its soname; the headers, the
# pkg-config and CMake package files; and a C program built only against
# the installed files, through pkg-config and through find_package, that
# uses both libraries.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION CC [EXTRA_CFLAGS]
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) version=$3 cc=$4 extra=${5:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
fail() { echo "install_test: FAILED: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr > "$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install"; }
usr=$root/usr

# Every program the build made.
programs=()
for p in "$build"/bin/*; do
  [ -f "$p" ] && [ -x "$p" ] && programs+=("$(basename "$p")")
done
[ ${#programs[@]} -gt 0 ] || fail "no programs in $build/bin"
for name in "${programs[@]}"; do
  [ -x "$usr/bin/$name" ] || fail "$name is not installed in /usr/bin"
  [ -s "$usr/share/man/man1/$name.1.gz" ] || fail "$name has no manual page (docs/man/$name.1)"
  zcat "$usr/share/man/man1/$name.1.gz" | grep -q "^\.TH .*\"Vidzoer $version\"" ||
    fail "$name's manual page does not carry the version $version"
  out=$("$usr/bin/$name" --version) || fail "$name --version exits nonzero"
  [ "$out" = "$name (Vidzoer toolkit) $version" ] || fail "$name --version says \"$out\""
  # The installed program finds its help page under its own prefix.
  page=$usr/share/vidzoer/help/$name.html
  [ -s "$page" ] || fail "$name has no help page (docs/help/$name.html)"
  help=$("$usr/bin/$name" --help) || fail "$name --help exits nonzero"
  grep -qxF "The full help page: $page" <<< "$help" || fail "$name --help does not point to $page"
  # ... and not when run from the build tree, which has none.
  if "$build/bin/$name" --help | grep -q "The full help page"; then
    fail "$name in the build tree names a help page it cannot have"
  fi
done
echo "install_test: ${#programs[@]} programs installed with manual and help pages: ${programs[*]}"

# Libraries, headers, package files, the library's manual page.
lib=$(find "$usr" -name 'libqelutil.so.3' -print -quit)
[ -n "$lib" ] || fail "libqelutil.so.3 is not installed"
libdir=$(dirname "$lib")
[ -L "$libdir/libqelutil.so" ] || fail "no libqelutil.so link for the linker"
[ "$(readlink -f "$libdir/libqelutil.so")" = "$(readlink -f "$lib")" ] || fail "libqelutil.so points elsewhere"
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libqelutil.so.3" ] || fail "the library's soname is \"$soname\""
for f in "$libdir/libvidzo.a" "$libdir/libvidzoplatform.a" "$libdir/pkgconfig/qelutil.pc" "$libdir/pkgconfig/vidzoer.pc" \
         "$libdir/cmake/Vidzoer/VidzoerConfig.cmake" "$usr/include/vidzoer/qelutil/qelutil.h" \
         "$usr/include/vidzoer/playback/vidzo.h" "$usr/include/vidzoer/vidzoer/version.h" \
         "$usr/share/man/man3/qelutil.3.gz" "$usr/share/vidzoer/help/index.html"; do
  [ -s "$f" ] || fail "${f#$root} is not installed"
done
if [ -d "$src/examples" ]; then
  [ -d "$usr/share/vidzoer/examples" ] || fail "the examples are not installed"
fi
grep -qx "prefix=/usr" "$libdir/pkgconfig/vidzoer.pc" || fail "vidzoer.pc does not name the prefix /usr"

# A .vdz file made by the installed programs.
"$usr/bin/vdzsample" --width 32 --height 24 --frame-rate 100 --seconds 1 --vdz "$tmp/small.vdz" "$tmp/frames" > /dev/null ||
  fail "the installed vdzsample"
frames=$("$usr/bin/vdzinfo" "$tmp/small.vdz" | awk -F': ' '$1 == "FrameCount" { print $2 }')
[ "$frames" = 10 ] || fail "the installed vdzinfo finds $frames frames, not 10"

# The C program through pkg-config, with only the installed files.
export PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH=
flags=$(pkg-config --cflags --libs qelutil vidzoer) || fail "pkg-config qelutil vidzoer"
case "$flags" in *"$src"* | *"$build"*) fail "pkg-config points into the source or build tree: $flags" ;; esac
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -Werror $extra "$src/tests/install/installed_client.c" $flags -o "$tmp/client" ||
  fail "building the C program with pkg-config"
LD_LIBRARY_PATH=$libdir "$tmp/client" "$tmp/work.bin" "$tmp/small.vdz" 32 24 10 "$version" || fail "the C program (pkg-config)"
ldd_out=$(LD_LIBRARY_PATH=$libdir ldd "$tmp/client")
grep -q "libqelutil.so.3 => $libdir/libqelutil.so.3" <<< "$ldd_out" || fail "the C program does not load the installed libqelutil.so.3"

# The same program through CMake's find_package.
unset PKG_CONFIG_SYSROOT_DIR PKG_CONFIG_LIBDIR PKG_CONFIG_PATH
cmake -S "$src/tests/install/consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$usr" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$extra" -DCMAKE_BUILD_TYPE=Release > "$tmp/consumer.log" 2>&1 || { cat "$tmp/consumer.log"; fail "find_package(Vidzoer)"; }
cmake --build "$tmp/consumer" > "$tmp/consumer-build.log" 2>&1 || { cat "$tmp/consumer-build.log"; fail "building with find_package"; }
LD_LIBRARY_PATH=$libdir "$tmp/consumer/installed_client" "$tmp/work.bin" "$tmp/small.vdz" 32 24 10 "$version" ||
  fail "the C program (find_package)"
echo "install_test: all checks passed"
