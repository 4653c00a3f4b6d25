#!/bin/sh
# Fails when a C++ file of the repository is not in the house format, and
# when there is nothing to check: outside a git checkout the list is empty,
# and an empty list would pass silently.
set -eu
cd "$(dirname "$0")/.."
if ! listed=$(git ls-files --cached --others --exclude-standard '*.cpp' '*.h'); then
    echo "check-format: cannot list the C++ files (is $(pwd) a git checkout?)" >&2
    exit 1
fi
files=$(printf '%s\n' "$listed" | while read -r file; do [ -z "$file" ] || [ ! -f "$file" ] || echo "$file"; done)
if [ -z "$files" ]; then
    echo "check-format: no C++ files to check in $(pwd)" >&2
    exit 1
fi
printf '%s\n' "$files" | xargs clang-format --dry-run -Werror
