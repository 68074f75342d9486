#!/usr/bin/env bash
# Installs mksetup as a vendor's tool: sets the machine up, builds the 32-bit stub (the
# setup program that ships) and an optimised mksetup, and installs mksetup, its manual
# page and the stub under PREFIX (default /usr/local):
#   bash scripts/install_mksetup.sh [PREFIX]
# Then `mksetup build --product NAME --out SetupNAME.exe --add-dir PREFIX=DIR` needs no
# --stub.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix="${1:-/usr/local}"
bash "$top/scripts/bootstrap.sh"
cd "$top"
for preset in win32 release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
cmake --install build/release --prefix "$prefix"
"$prefix/bin/mksetup" --version
