#!/usr/bin/env bash
# Boots the Wine prefix that every end-to-end test of one build copies:
# E2E_ARCH=win32|win64 make_template.sh DIR. The CTest fixtures e2e_win32_template and
# e2e_win64_template run it; it returns at once when DIR is current, and with status 77
# (skipped) when this machine cannot start 32-bit programs, or the package archive could
# not supply 32-bit Wine today.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
[ $# = 1 ] || e2e_fail "usage: make_template.sh DIR"
e2e_build_template "$1"
