#!/usr/bin/env bash
# Installs what is missing, builds from scratch with warnings as errors, and
# runs every test suite (the store simulator and the mail server are started
# by the suites themselves on loopback ports chosen at run time).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# House rules first: they take seconds and name the file at fault.
scripts/check-layers.sh
scripts/check-format.sh
rm -rf build-test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOS_WERROR=ON
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure -j2 --timeout 600
