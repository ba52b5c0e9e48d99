#!/bin/sh
# Compiles locales (for example ru_RU uk_UA) in their UTF-8 form into a folder
# of the build, to be found through LOCPATH: a test that runs Wine in another
# language sets LC_ALL to such a locale, and a fresh machine has none but C
# and POSIX. Needs localedef (libc-bin) and the locale sources of the Debian
# package "locales"; no root rights, and the system's locales stay untouched.
#
# usage: make-locale.sh <folder> <locale>...
set -e
folder="$1"
shift
mkdir -p "$folder"
for locale in "$@"; do
  target="$folder/$locale.UTF-8"
  [ -f "$target/LC_CTYPE" ] && continue
  if [ ! -f "/usr/share/i18n/locales/$locale" ]; then
    echo "no locale source for $locale: install the package 'locales'" >&2
    exit 1
  fi
  # Built beside the target and renamed into place, so that a test never sees
  # half a locale. localedef's exit status 1 only means warnings.
  rm -rf "$target.part"
  localedef -i "$locale" -f UTF-8 "$target.part" || [ $? -eq 1 ]
  rm -rf "$target"
  mv "$target.part" "$target"
done
