#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs:
# the program, a valid launcher, the ".alr" file type and the icon.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/quillet"
test -x "$prefix/bin/quillet-cli"
desktop-file-validate "$prefix/share/applications/quillet.desktop"
grep -q '^MimeType=application/x-quillet-capture;$' "$prefix/share/applications/quillet.desktop"
update-mime-database "$prefix/share/mime"
grep -q '^50:application/x-quillet-capture:\*\.alr$' "$prefix/share/mime/globs2"
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
    "$prefix/share/icons/hicolor/scalable/apps/quillet.svg"
echo "installed and valid"
