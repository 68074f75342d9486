#!/usr/bin/env bash
# No file built on Linux speaks Win32: every source in the native build's compile
# database, and every header of the program outside its Windows-only folders and files,
# is searched for the calls that only the Windows side of a seam may make.
#   no_win32_on_linux.sh SOURCE_DIR COMPILE_COMMANDS_JSON
set -euo pipefail
top=$1 database=$2
names='CreateFileW|CreateFileA|DialogBoxParamA|GetDlgItem|TextOutA|MultiByteToWideChar|WideCharToMultiByte|FindFirstFileW|MoveFileExW|GetLastError|MessageBoxW|MessageBoxA'
sources=$(grep -o '"file": *"[^"]*"' "$database" | sed 's/.*"\([^"]*\)"$/\1/' | grep "^$top/" | grep -v '/build/' | sort -u)
headers=$(cd "$top" && find platform framework archive payload agreement app tools -name '*.h' | grep -Ev '(^|/)win32(/|_)|windows' | sed "s#^#$top/#")
[ -n "$sources" ] || { echo "FAIL: no sources in $database" >&2; exit 1; }
found=$(grep -nwE "$names" $sources $headers || true)
if [ -n "$found" ]; then
  echo "FAIL: Win32 named in files built on Linux:" >&2
  echo "$found" >&2
  exit 1
fi
echo "ok: $(echo "$sources" | wc -l) sources and $(echo "$headers" | wc -l) headers built on Linux name no Win32 call"
