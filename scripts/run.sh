#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quorvane on DIR (or on a small sample
# tree it makes when no directory is given). Without a display it says so and lists the
# files with quorvane-cli instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# Only the two programs: the tests are built and run by scripts/test.sh.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_GUI=ON >/dev/null
cmake --build "$root/build" --target quorvane quorvane-cli -j"$(nproc)"
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
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the desktop program cannot start." >&2
  echo "quorvane-cli does the same work without a window ($root/build/src/quorvane-cli --help); its list of $*:" >&2
  exec "$root/build/src/quorvane-cli" list "$@"
fi
exec "$root/build/src/ui/quorvane" "$@"
