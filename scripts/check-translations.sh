#!/usr/bin/env bash
# Fails when the Chinese translation is not complete: when the .ts is out of date
# with the sources (lupdate, run into a temporary copy, would change it: a text
# added, changed or removed) or when an entry is unfinished or empty.
#
#   check-translations.sh LUPDATE TS_FILE SOURCES_LIST INCLUDE_DIR [MORE_SOURCES...]
#
# SOURCES_LIST holds one source file a line (the build writes it:
# build/translations/text_sources.txt). The options are those of the build's
# update_translations target, which brings the .ts up to date.
set -euo pipefail
lupdate=$1 ts=$2 list=$3 include=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$ts" "$tmp/copy.ts"
mapfile -t sources < "$list"
"$lupdate" -silent -locations none -no-obsolete -no-ui-lines -I "$include" "${sources[@]}" "$@" -ts "$tmp/copy.ts"
if ! diff -u "$ts" "$tmp/copy.ts" > "$tmp/diff"; then
  cat "$tmp/diff"
  echo "$ts is out of date with the sources: cmake --build build --target update_translations, then translate what it marks unfinished" >&2
  echo "translations: out of date"
  exit 1
fi
if grep -n -B2 'type="unfinished"\|type="vanished"\|type="obsolete"\|<translation></translation>' "$ts"; then
  echo "$ts has unfinished or empty entries (above)" >&2
  echo "translations: unfinished"
  exit 1
fi
echo "translations: complete, $(grep -c '<message' "$ts") texts"
