#!/bin/sh
# Grows make_bodies.py's family of bodies, skins each with a spindle command
# line of your choosing and bends it in Blender against its automatic
# weights (bend_family.py):
#   tests/gltf/readers/bend_family.sh SPINDLE [OPTION...]
# SPINDLE and its options come first; the script adds --join-lines, the
# output files and the body.  Prints bend_family.py's lines (the files are
# in a temporary folder, removed at the end).
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 SPINDLE [OPTION...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Blender's Python must find the system's numpy: no other Python's paths.
path=$(printf '%s' "$PATH" | tr ':' '\n' | grep -v pyenv | paste -sd: -)
blender() {
  env -u PYTHONPATH -u PYTHONHOME PATH="$path" blender -b --factory-startup --python "$@" 2>/dev/null
}
blender "$here/../data/make_bodies.py" -- "$out" >/dev/null
pairs=
for obj in "$out"/*.obj; do
  name=${obj%.obj}
  "$@" -q --join-lines -o "$name.lws" --gltf "$name.glb" "$obj" >/dev/null
  pairs="$pairs $name.json $name.glb"
done
# shellcheck disable=SC2086  # the pairs are split on purpose (no spaces in mktemp's names)
blender "$here/bend_family.py" -- $pairs | grep -E '^(file|blender)	'
