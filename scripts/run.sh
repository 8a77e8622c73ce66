#!/usr/bin/env bash
# Set-up, build, then start the program on its default database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/src/app/orvanthe "$@"
