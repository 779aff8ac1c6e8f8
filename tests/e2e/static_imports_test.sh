#!/usr/bin/env bash
# orvanta.exe must run alone: it may import only DLLs that every Windows has,
# never a compiler runtime (libstdc++, libgcc, libwinpthread) beside it.
#   static_imports_test.sh OBJDUMP EXE
set -euo pipefail
objdump=$1; exe=$2
imports=$("$objdump" -p "$exe" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $imports
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll comdlg32.dll version.dll crypt32.dll bcrypt.dll ws2_32.dll wsock32.dll msvcrt.dll ole32.dll oleaut32.dll shlwapi.dll "
for dll in $imports; do
  case "$allowed" in
    *" $dll "*) ;;
    *) echo "FAIL: $exe needs $dll beside it" >&2; exit 1 ;;
  esac
done
echo "PASS: only system DLLs"
