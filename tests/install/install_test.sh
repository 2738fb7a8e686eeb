#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what lies there (the
# library's SONAME, the tool), and builds a small C program against the
# installation twice, through pkg-config and through find_package, then runs
# each build.
# With a Python interpreter, the installed Python package loads the installed
# library too; with R, the R package builds against it.
#   install_test.sh BUILD_DIR C_COMPILER [EXTRA_CFLAGS [PYTHON]]
set -euo pipefail
build=$1 cc=$2 extra=${3:-} python=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name vexaio.pc)
[ -n "$pc" ] || { echo "no vexaio.pc installed"; exit 1; }
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir vexaio)
version=$(pkg-config --modversion vexaio)
[ -f "$prefix/include/vexaio.h" ] || { echo "no header installed"; exit 1; }
soname=$(readelf -d "$libdir/libvexaio.so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ "$soname" = "libvexaio.so.${version%%.*}" ] || { echo "SONAME is '$soname'"; exit 1; }
[ -f "$libdir/libvexaio.so.$version" ] || { echo "no libvexaio.so.$version"; exit 1; }

# Through pkg-config.
# shellcheck disable=SC2046,SC2086
"$cc" $extra "$here/consumer.c" -o "$tmp/by_pkg_config" $(pkg-config --cflags --libs vexaio) \
  -Wl,-rpath,"$libdir"
out=$("$tmp/by_pkg_config" "$tmp/a.vexa")
[ "$out" = "vexaio $version" ] || { echo "pkg-config build printed '$out', expected vexaio $version"; exit 1; }

# Through find_package.
cmake -S "$here" -B "$tmp/consumer" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$extra" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$tmp/consumer" >/dev/null
out=$("$tmp/consumer/consumer" "$tmp/b.vexa")
[ "$out" = "vexaio $version" ] || { echo "find_package build printed '$out'"; exit 1; }

# The installed tool finds the installed library.
out=$("$prefix/bin/vexa" cat "$tmp/b.vexa" | tr '\n' ' ')
[ "$out" = "x 1.5 3 4.5 " ] || { echo "installed vexa cat printed '$out'"; exit 1; }
# The installed Python package finds the installed library by itself.
if [ -n "$python" ]; then
  pkg=$(dirname "$(find "$prefix" -path '*/vexaio/__init__.py')")
  out=$(env -u VEXAIO_LIBRARY PYTHONPATH="$(dirname "$pkg")" PYTHONDONTWRITEBYTECODE=1 "$python" -c \
        'import sys, vexaio; print(" ".join(map(str, vexaio.library_version())), vexaio.read(sys.argv[1]).columns["x"].tolist())' \
        "$tmp/b.vexa")
  [ "$out" = "${version//./ } [1.5, 3.0, 4.5]" ] || { echo "installed Python package printed '$out'"; exit 1; }
  [ -f "$pkg/dask.py" ] || { echo "the installed Python package lacks vexaio/dask.py"; exit 1; }
fi
# The R package builds against the installation through pkg-config and reads
# the file (not with a sanitized library, which R loads only with the
# runtime preloaded).
if [ -z "$extra" ] && command -v R >/dev/null; then
  cp -R "$here/../../r/vexaio" "$tmp/rpkg" && mkdir "$tmp/rlib"
  env -u VEXAIO_BUILD_DIR R CMD INSTALL --no-test-load -l "$tmp/rlib" "$tmp/rpkg" >"$tmp/r.log" 2>&1 ||
    { cat "$tmp/r.log"; exit 1; }
  out=$(R_LIBS="$tmp/rlib" Rscript -e 'cat(vexaio::read_vexa(commandArgs(TRUE))$x)' "$tmp/b.vexa")
  [ "$out" = "1.5 3 4.5" ] || { echo "the R package built through pkg-config printed '$out'"; exit 1; }
fi
echo "install test passed: vexaio $version in $prefix"
