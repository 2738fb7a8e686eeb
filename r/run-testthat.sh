#!/usr/bin/env bash
# Installs the R package into a library inside a build directory, against
# the libvexaio built there, and runs its testthat tests. A copy of the
# package is built, so the source tree gets no build products.
#   r/run-testthat.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2
work=$build/r
rm -rf "$work/pkg" && mkdir -p "$work/lib" "$work/pkg"
cp -R "$src/r/vexaio" "$work/pkg/"
export VEXAIO_BUILD_DIR=$build VEXAIO_INCLUDE_DIR=$src/include
if ! R CMD INSTALL --no-test-load -l "$work/lib" "$work/pkg/vexaio" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  exit 1
fi
cd "$src/r/vexaio/tests"
R_LIBS=$work/lib Rscript -e 'testthat::test_dir("testthat", package = "vexaio", load_package = "installed", reporter = "summary", stop_on_failure = TRUE)'
