#!/bin/sh
# Fails when a C++ source of the repository differs from what clang-format
# makes of it with the project's .clang-format (run `clang-format -i` on the
# files it names).
set -e
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
