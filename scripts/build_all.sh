#!/usr/bin/env bash
# Builds everything on a Debian 12 machine set up by scripts/bootstrap.sh: the Windows
# stubs (32-bit, as shipped, and 64-bit, which runs under Wine here), the Windows test
# driver and sample product, and the native core with its tests and tools.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
for preset in win32 win64 native; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
