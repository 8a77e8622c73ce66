#!/usr/bin/env bash
# Installs what is missing, builds the two programs, then starts the window on its database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/src/app/orvanthe "$@"
