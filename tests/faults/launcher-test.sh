#!/bin/sh
# The launcher and the player's sprite pack: a missing or empty one, or
# something else than a file in its place, is replaced by the shipped pack;
# what was in its place is moved aside, never deleted; a pack with something
# in it is the player's and is kept. The program is a stand-in that notes
# where it was started and with what.
#
#   launcher-test.sh <launcher script>
set -eu
launcher="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT INT TERM

shipped="$tmp/shipped.dat"
printf 'the shipped sprite pack\n' >"$shipped"
cat >"$tmp/program" <<'PROGRAM'
#!/bin/sh
pwd >started-in
printf '%s\n' "$@" >started-with
PROGRAM
chmod +x "$tmp/program"

work="$tmp/data/tessaly-notes"
pack="$work/keyresources.dat"
today="$(date +%Y-%m-%d)"
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

launch() {
  rm -f "$work/started-in" "$work/started-with"
  (cd "$tmp" && XDG_DATA_HOME="$tmp/data" TESSALY_PROGRAM="$tmp/program" TESSALY_PACK="$shipped" \
    sh "$launcher" --one "two words") || fail "$1: the launcher failed"
  [ "$(cat "$work/started-in" 2>/dev/null)" = "$work" ] \
    || fail "$1: the program was not started in $work"
  [ "$(cat "$work/started-with" 2>/dev/null)" = "$(printf '%s\n' --one 'two words')" ] \
    || fail "$1: the arguments did not reach the program"
}

restored() {
  [ -f "$pack" ] && [ ! -L "$pack" ] && cmp -s "$pack" "$shipped" \
    || fail "$1: the shipped pack was not put in place"
}

# Nothing there yet: the first start.
launch "missing"
restored "missing"

# The player's own pack, or a link to one, is kept as it is.
printf 'my own pack\n' >"$pack"
launch "own pack"
[ "$(cat "$pack")" = "my own pack" ] || fail "own pack: replaced"
printf 'kept elsewhere\n' >"$tmp/elsewhere.dat"
rm "$pack" && ln -s "$tmp/elsewhere.dat" "$pack"
launch "link to a pack"
[ -L "$pack" ] && [ "$(cat "$pack")" = "kept elsewhere" ] || fail "link to a pack: replaced"
rm "$pack"

# An empty file holds nothing to keep.
: >"$pack"
launch "empty"
restored "empty"

# A folder in its place is moved aside with what it holds, day-stamped.
rm "$pack" && mkdir "$pack" && printf 'notes\n' >"$pack/mine.txt"
launch "folder"
restored "folder"
[ "$(cat "$pack.moved-aside-$today/mine.txt" 2>/dev/null)" = "notes" ] \
  || fail "folder: not moved aside to keyresources.dat.moved-aside-$today with its contents"

# The same again on the same day takes the next free name.
rm "$pack" && mkdir "$pack" && printf 'more notes\n' >"$pack/mine.txt"
launch "second folder"
restored "second folder"
[ "$(cat "$pack.moved-aside-$today/mine.txt" 2>/dev/null)" = "notes" ] \
  || fail "second folder: the first one moved aside was touched"
[ "$(cat "$pack.moved-aside-$today-2/mine.txt" 2>/dev/null)" = "more notes" ] \
  || fail "second folder: not moved aside to keyresources.dat.moved-aside-$today-2"

# A link to nowhere and a named pipe are not files either; the pipe must not
# be read (that would wait for ever).
rm -rf "$pack.moved-aside-"*
rm "$pack" && ln -s "$tmp/nowhere.dat" "$pack"
launch "dangling link"
restored "dangling link"
[ -L "$pack.moved-aside-$today" ] || fail "dangling link: not moved aside as it was"
[ ! -e "$tmp/nowhere.dat" ] || fail "dangling link: written through"
rm -rf "$pack.moved-aside-"*
rm "$pack" && mkfifo "$pack"
launch "named pipe"
restored "named pipe"
[ -p "$pack.moved-aside-$today" ] || fail "named pipe: not moved aside"

# No copy is left half-written or lying about.
for f in "$work"/* "$work"/.[!.]* "$tmp/data"/*; do
  [ -e "$f" ] || [ -L "$f" ] || continue
  case "$f" in
    "$work" | "$pack" | "$pack.moved-aside-"* | "$work/started-in" | "$work/started-with") ;;
    *) fail "left lying about: $f" ;;
  esac
done

[ "$failures" -eq 0 ] || exit 1
echo "the launcher keeps and restores the sprite pack as it should"
