#!/usr/bin/env bash
# Installs a build into a scratch root (DESTDIR) and uses what was installed
# as a user would: varnok-cli --version, its man page, the menu entry and
# AppStream data checked by their validators, and a whole conversion of the
# installed sample books.
#   installed_test.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake=$1 build=$2 version=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
cli="$usr/bin/varnok-cli"

said=$("$cli" --version)
[ "$said" = "varnok-cli $version" ] || fail "varnok-cli --version says \"$said\""

for file in share/man/man1/varnok-cli.1.gz share/man/man1/varnok.1.gz \
    share/icons/hicolor/scalable/apps/varnok.svg share/icons/hicolor/16x16/apps/varnok.png \
    share/icons/hicolor/256x256/apps/varnok.png share/doc/varnok/README.md \
    share/doc/varnok/copyright share/doc/varnok/changelog.Debian.gz; do
  [ -s "$usr/$file" ] || fail "/usr/$file was not installed"
done
page=$(gzip -dc "$usr/share/man/man1/varnok-cli.1.gz" | sed 's/\\-/-/g')
for command in "book create" "book import" "book export" "book stat" convert fix; do
  grep -q "varnok-cli $command" <<<"$page" || fail "the man page has no section on $command"
done
desktop-file-validate "$usr/share/applications/varnok.desktop" | { grep -v ': hint: ' || true; }
appstreamcli validate --no-net --no-color "$usr/share/metainfo/org.varnok.Varnok.metainfo.xml" >/dev/null ||
  fail "appstreamcli refuses the metainfo: $(appstreamcli validate --no-net "$usr"/share/metainfo/*.xml)"

examples="$usr/share/doc/varnok/examples"
books="$root/books"
# Each run's report goes under the user's data folder: here, the scratch root.
export XDG_DATA_HOME="$root/data"
for side in old new; do
  "$cli" book create "$books/$side" >/dev/null
  "$cli" book import "$books/$side" "$examples/$side-book.csv" >/dev/null
done
said=$("$cli" convert --old "$books/old" --new "$books/new" --date 06/30/2025 \
  --previous-last HALVORSEN --previous-first ERIK --previous-address "1418 MILL CREEK RD" \
  --previous-city VELMORA --previous-state TX --previous-zip 75961 \
  --new-last "VELMORA PAWN" --new-first DANA --new-address "22 COURTHOUSE SQ" \
  --new-city VELMORA --new-state TX --new-zip 75961)
report=$(sed -n '$s/^Report: //p' <<<"$said")
[ "$(sed '$d' <<<"$said")" = $'Number of old guns = 300 Number of new guns 328\nFinished' ] ||
  fail "convert said: $said"
[ -s "$report/summary.txt" ] && [ -s "$report/old-FILE3.DAT" ] || fail "no report in \"$report\""
# The old book keeps what came in by the date; the new book what was still
# in the store on it or came in later.
[ "$("$cli" book export "$books/old" | wc -l)" -eq 269 ] || fail "old book: wrong number of entries"
[ "$("$cli" book export "$books/new" | wc -l)" -eq 175 ] || fail "new book: wrong number of entries"
