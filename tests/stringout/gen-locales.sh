#!/bin/sh
# gen-locales.sh DIR: compiles the non-UTF-8 locales the locale tests need
# into DIR (used through LOCPATH; nothing is installed system-wide). Needs
# localedef and the locale sources of Debian's "locales" package.
set -u
dir=$1
mkdir -p "$dir"
rc=0
for entry in fr_FR:ISO-8859-1 ja_JP:EUC-JP; do
  name=${entry%%:*}
  charmap=${entry#*:}
  [ -d "$dir/$name.$charmap" ] && continue
  if ! localedef -i "$name" -f "$charmap" "$dir/$name.$charmap" 2>"$dir/$name.$charmap.log"; then
    echo "gen-locales: could not build $name.$charmap (see $dir/$name.$charmap.log)" >&2
    rc=1
  fi
done
exit $rc
