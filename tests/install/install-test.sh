#!/bin/sh
# Installs the build into a fresh prefix and starts the installed launcher
# from an unrelated folder: the program must run in the per-user working
# folder, seeded with the installed sprite pack, and remember its settings
# there when asked to quit.
#
#   install-test.sh <build folder>
set -eu
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/tessaly-notes libexec/tessaly-notes/tessaly-notes \
         share/tessaly-notes/keyresources.dat share/tessaly-notes/keyresources@2x.dat \
         share/tessaly-notes/keyresources@3x.dat share/applications/tessaly-notes.desktop \
         share/icons/hicolor/scalable/apps/tessaly-notes.svg; do
  [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -x "$prefix/bin/tessaly-notes" ] || { echo "the launcher is not executable"; exit 1; }
grep -qx 'Exec=tessaly-notes' "$prefix/share/applications/tessaly-notes.desktop"
grep -qx 'Icon=tessaly-notes' "$prefix/share/applications/tessaly-notes.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/tessaly-notes.desktop"
fi

mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere"
status=0
XDG_DATA_HOME="$tmp/data" QT_QPA_PLATFORM=offscreen \
  timeout --preserve-status -s TERM 4 "$prefix/bin/tessaly-notes" >"$tmp/out" 2>&1 || status=$?
work="$tmp/data/tessaly-notes"
[ "$status" -eq 0 ] || { echo "the program ended with status $status"; cat "$tmp/out"; exit 1; }
cmp -s "$work/keyresources.dat" "$prefix/share/tessaly-notes/keyresources.dat" \
  || { echo "the working folder was not seeded with the sprite pack"; exit 1; }
for scale in 2 3; do
  cmp -s "$work/keyresources@${scale}x.dat" "$prefix/share/tessaly-notes/keyresources@${scale}x.dat" \
    || { echo "the working folder was not seeded with the ${scale}x pack"; exit 1; }
done
grep -qx 'Skin=0' "$work/vorlanta.ini" || { echo "no settings written at quit"; exit 1; }
[ -z "$(ls -A "$tmp/elsewhere")" ] || { echo "files written into the folder started from"; exit 1; }
echo "installed and started fine"
