#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quorvane on DIR (or on a small sample
# tree it makes when no directory is given).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ $# -eq 0 ]; then
  sample="$root/build/sample"
  if [ ! -d "$sample" ]; then
    mkdir -p "$sample/Artist A" "$sample/Artist B"
    for i in 1 2 3; do
      pcm=$(mktemp)
      head -c 352800 /dev/urandom > "$pcm"
      lame --quiet -r -s 44.1 -b 128 "$pcm" "$sample/Artist A/0$i - Song $i.mp3" 2>/dev/null
      lame --quiet -r -s 44.1 -V 4 "$pcm" "$sample/Artist B/0$i - Tune $i.mp3" 2>/dev/null
      rm -f "$pcm"
    done
  fi
  set -- "$sample"
fi
exec "$root/build/src/quorvane-cli" info "$@"
