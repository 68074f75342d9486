#!/usr/bin/env bash
# Boots the Wine prefix that every end-to-end test copies: make_template.sh DIR.
# The CTest fixture e2e_wine_template runs it; it returns at once when DIR is current.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
[ $# = 1 ] || e2e_fail "usage: make_template.sh DIR"
e2e_build_template "$1"
