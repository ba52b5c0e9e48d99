#!/bin/sh
# Fails when the program imports a DLL that is not on the KnownDLLs list:
# such a DLL would be looked for beside the program first, where a user could
# have put one of their own.
set -e
exe="$1"
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll msvcrt.dll shlwapi.dll comdlg32.dll rpcrt4.dll"
status=0
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  case " $allowed " in
    *" $dll "*) echo "ok: $dll" ;;
    *) echo "not a known DLL: $dll"; status=1 ;;
  esac
done
exit $status
