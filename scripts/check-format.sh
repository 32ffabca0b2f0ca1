#!/usr/bin/env bash
# Checks (or with --fix, applies) the repository's .clang-format on every
# C++ file under git. Exit 1 lists the files that differ.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' ':!:tests/fuzz/corpus/*')
[ ${#files[@]} -eq 0 ] && exit 0
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "These files are not formatted (run: cmake --build <build> --target format):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
