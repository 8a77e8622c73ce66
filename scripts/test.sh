#!/usr/bin/env bash
# Set-up, build, then run every test (headless: the tests set their own Qt platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
ctest --test-dir build --output-on-failure -j"$(nproc)"
