#!/usr/bin/env bash
# Set-up, build, run every test (headless: the tests set their own Qt platform), then build,
# install and try the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package.sh
