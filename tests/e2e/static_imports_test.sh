#!/usr/bin/env bash
# orvanta.exe must run alone: it may import only DLLs that every Windows has,
# never a compiler runtime (libstdc++, libgcc, libwinpthread) beside it.
#   static_imports_test.sh OBJDUMP EXE
set -euo pipefail
objdump=$1; exe=$2
imports=$("$objdump" -p "$exe" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $imports
system='kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|version|crypt32|bcrypt|ws2_32|wsock32|msvcrt|ole32|oleaut32|shlwapi'
others=$(grep -vxE "($system)\.dll" <<<"$imports" || true)
[ -z "$others" ] || { echo "FAIL: $exe needs beside it:" $others >&2; exit 1; }
echo "PASS: only system DLLs"
