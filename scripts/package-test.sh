#!/usr/bin/env bash
# Makes the package and checks it: its contents, each program's --version run
# from the unpacked package, the desktop entry, the metainfo, lintian, and that
# each man page lists the same options as its program's --help.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh desktop-file-utils appstream lintian
deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
fail=0
check() { if ! "$@"; then echo "FAILED: $*" >&2; fail=1; fi; }

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/varnak ./usr/bin/varnak-panel ./usr/bin/varnak-sim \
         ./usr/share/applications/varnak-panel.desktop \
         ./usr/share/icons/hicolor/scalable/apps/varnak-panel.svg \
         ./usr/share/metainfo/io.github.varnak.panel.metainfo.xml \
         ./usr/share/man/man1/varnak.1.gz ./usr/share/man/man1/varnak-panel.1.gz \
         ./usr/share/man/man1/varnak-sim.1.gz ./usr/share/doc/varnak/copyright; do
  check grep -qx -- "$f" <<<"$contents"
done
check grep -q 'fonts-noto-cjk' <(dpkg-deb -f "$deb" Depends)
check grep -q 'libqt6serialport6' <(dpkg-deb -f "$deb" Depends)
check grep -q 'qt6-translations-l10n' <(dpkg-deb -f "$deb" Depends)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
version=$(sed -n 's/^project(varnak VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for p in varnak varnak-panel varnak-sim; do
  check test "$("$root/usr/bin/$p" --version)" = "$p $version"
  # Every option of --help is in the man page and the other way round.
  # The client's bridge command has a --help of its own.
  help=$({ "$root/usr/bin/$p" --help
           if [ "$p" = varnak ]; then "$root/usr/bin/$p" bridge --help; fi; } |
         grep -o -- '--[a-z][a-z-]*' | sort -u)
  man=$(zcat "$root/usr/share/man/man1/$p.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g' | grep -o -- '--[a-z][a-z-]*' | sort -u)
  if [ "$help" != "$man" ]; then
    echo "FAILED: $p: --help and the man page list different options:" >&2
    diff <(echo "$help") <(echo "$man") >&2 || true
    fail=1
  fi
done
check desktop-file-validate "$root/usr/share/applications/varnak-panel.desktop"
check appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/io.github.varnak.panel.metainfo.xml"
# lintian: no errors (warnings are listed in the README).
lint=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lint"
if grep -q '^E:' <<<"$lint"; then echo "FAILED: lintian reports errors" >&2; fail=1; fi
[ $fail -eq 0 ] && echo "package test: passed"
exit $fail
