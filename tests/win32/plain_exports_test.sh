#!/usr/bin/env bash
# The libraries the engine loads export their functions under the plain names it looks up (no
# stdcall decoration such as "GetPluginInfo@4" on 32-bit builds): the toolchain's objdump lists
# their export tables. Usage: plain_exports_test.sh OBJDUMP LIBRARY:NAME[,NAME...]...
set -euo pipefail
objdump=$1
shift
for item in "$@"; do
  library=${item%%:*}
  exports=$("$objdump" -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  IFS=, read -ra names <<<"${item#*:}"
  for name in "${names[@]}"; do
    grep -qE "\] $name\$" <<<"$exports" ||
      { echo "$(basename "$library") does not export $name under its plain name:"; echo "$exports"; exit 1; }
  done
  if grep -q '@[0-9]' <<<"$exports"; then
    echo "$(basename "$library") exports decorated names:"; echo "$exports"; exit 1
  fi
  echo "$(basename "$library"): ${item#*:}"
done
