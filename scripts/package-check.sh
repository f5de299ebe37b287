#!/usr/bin/env bash
# Builds the Debian package the way README's "Installing" section does and
# checks what it ships: lintian on the .deb, desktop-file-validate on the
# desktop entry and appstreamcli on the AppStream metadata, both as unpacked
# from the package. Any error fails the run; lintian's warnings are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
zanto_install_packages "${ZANTO_PACKAGES[@]}" lintian desktop-file-utils appstream

build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANTO_BUILD_TESTS=OFF
cmake --build "$build"
rm -f "$build"/zanto-setup_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/zanto-setup_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single package: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

echo "== lintian $deb"
lintian --fail-on error "$deb"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
echo "== desktop-file-validate"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
echo "Package checks passed: $deb"
