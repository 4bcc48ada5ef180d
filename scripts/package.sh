#!/usr/bin/env bash
# Builds the Debian package of the programs with their systemd units: installs what the build
# and the packaging need, builds the programs (RelWithDebInfo, no tests) in their own folder,
# runs CPack and lintian, and leaves the packages in dist/:
#   dist/tqsremote_VERSION_ARCH.deb           the programs, stripped, with units and scripts
#   dist/tqsremote-dbgsym_VERSION_ARCH.ddeb   their debug symbols
#   scripts/package.sh
#   PACKAGE_BUILD_DIR=... scripts/package.sh  build folder (default build-package)
#   PACKAGE_RELEASE=2 scripts/package.sh      Debian revision (default 1): a rebuild of the
#                                             same version that upgrades an installed one
# Exit status 0 when the package was built and lintian reported no error.
set -euo pipefail
cd "$(dirname "$0")/.."

# The build's packages and what packaging needs beyond them.
bash scripts/install-deps.sh dpkg-dev fakeroot lintian file

build_dir="${PACKAGE_BUILD_DIR:-build-package}"
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DTQS_BUILD_TESTS=OFF -DTQS_BUILD_BENCHMARKS=OFF -DTQS_PACKAGE_RELEASE="${PACKAGE_RELEASE:-1}"
cmake --build "$build_dir" -j2
rm -rf "$build_dir/cpack"
# fakeroot: the files in the package belong to root whoever builds it.
(cd "$build_dir" && fakeroot cpack --config CPackConfig.cmake)

# CPack (3.25) writes the debug symbol package's md5sums with the staging folder's absolute
# paths and gives it no documentation folder: list the files as dpkg expects them, and point
# its documentation at the main package's, as Debian's own -dbgsym packages do.
repack_debug_symbols() {
  local ddeb work
  ddeb=$(realpath "$1")
  work=$(mktemp -d)
  fakeroot sh -e -c '
    dpkg-deb -R "$1" "$2/root"
    cd "$2/root"
    find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums
    mkdir -p usr/share/doc
    ln -s tqsremote usr/share/doc/tqsremote-dbgsym
    chown -R 0:0 .
    dpkg-deb -b . "$1" >/dev/null' sh "$ddeb" "$work"
  rm -rf "$work"
}
for ddeb in "$build_dir"/cpack/*.ddeb; do
  [ -e "$ddeb" ] && repack_debug_symbols "$ddeb"
done

mkdir -p dist
rm -f dist/tqsremote_*.deb dist/tqsremote-dbgsym_*.ddeb dist/tqsremote-dbgsym_*.deb
cp "$build_dir"/cpack/*.deb dist/
cp "$build_dir"/cpack/*.ddeb dist/ 2>/dev/null || true
package=$(ls dist/tqsremote_*.deb)
for built in "$package" dist/tqsremote-dbgsym_*.ddeb; do
  [ -e "$built" ] || continue
  echo "== lintian $built"
  lintian --fail-on error "$built"
done
ls -l dist/
