#!/usr/bin/env bash
# Every user-facing sentence in the sources is in the catalogues, and the German one is
# complete: lupdate, run over the sources into copies of the catalogues, finds nothing new.
#   catalogue_test.sh SOURCE_DIR LUPDATE LUPDATE_PROJECT GENERATOR
# (LUPDATE_PROJECT: the description of the sources and their include paths that the build
# writes for lupdate, so that every class is known by its full name; GENERATOR: Qt's script that
# turns it into lupdate's project file.)
set -euo pipefail
source_dir="$1"
lupdate="$2"
project_description="$3"
generator="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

project="$work/project.json"
cmake -DIN_FILE="$project_description" -DOUT_FILE="$project" -P "$generator" >/dev/null
for language in en de; do
  cp "$source_dir/translations/vantu_$language.ts" "$work/"
  "$lupdate" -project "$project" -no-obsolete -locations none -ts "$work/vantu_$language.ts" >"$work/lupdate-$language.log" 2>&1 ||
    fail "lupdate failed: $(cat "$work/lupdate-$language.log")"
  grep -q '(0 new and' "$work/lupdate-$language.log" ||
    fail "sentences missing from vantu_$language.ts (run the update_translations target): $(cat "$work/lupdate-$language.log")"
done
# German: every sentence translated, every plural form given.
! grep -q 'type="unfinished"' "$work/vantu_de.ts" || fail "vantu_de.ts has unfinished translations"
# English: the plural forms of the counted texts.
grep -q '<numerusform>%n dev port</numerusform>' "$work/vantu_en.ts" || fail "vantu_en.ts lacks the singular of the count"
echo "Catalogues complete."
