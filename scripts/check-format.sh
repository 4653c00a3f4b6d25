#!/bin/sh
# Fails when a C++ file of the repository is not in the house format.
set -eu
cd "$(dirname "$0")/.."
git ls-files --cached --others --exclude-standard '*.cpp' '*.h' |
    while read -r file; do [ -f "$file" ] && echo "$file"; done |
    xargs clang-format --dry-run -Werror
