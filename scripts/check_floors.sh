#!/usr/bin/env bash
# Fails when a source file includes from a folder above its own floor. The floors, from
# the bottom: platform; tags and regex; mp3; library; operations and export; cli and ui.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
floor() {
  case "$1" in
    platform) echo 1 ;;
    tags | regex) echo 2 ;;
    mp3) echo 3 ;;
    library) echo 4 ;;
    operations | export) echo 5 ;;
    cli | ui) echo 6 ;;
    *) echo 0 ;;
  esac
}
status=0
while IFS= read -r -d '' file; do
  folder=$(basename "$(dirname "$file")")
  own=$(floor "$folder")
  while IFS= read -r included; do
    target=${included%%/*}
    [ "$target" = "$folder" ] && continue
    other=$(floor "$target")
    [ "$other" -eq 0 ] && continue
    # regex stands beside tags and uses only platform.
    if [ "$other" -ge "$own" ]; then
      echo "${file#"$root"/}: includes $included from a floor not below its own" >&2
      status=1
    fi
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "$root/src" -name '*.h' -print0 -o -name '*.cpp' -print0)
[ $status -eq 0 ] && echo "floors: no upward include"
exit $status
