#!/bin/sh
# Skins the two test bodies with a spindle command line of your choosing and
# measures them in Blender against its automatic weights (blender_bend.py):
#   tests/gltf/readers/bend_bodies.sh SPINDLE [OPTION...]
# SPINDLE and its options come first; the script adds --join-lines, the
# output files and the body.  Prints blender_bend.py's lines (the files are
# in a temporary folder, removed at the end).
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 SPINDLE [OPTION...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
bodies=$here/../data
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$@" -q --join-lines -o "$out/legs.lws" --gltf "$out/legs.glb" "$bodies/body_legs.obj" >/dev/null
"$@" -q --join-lines -o "$out/arms.lws" --gltf "$out/arms.glb" "$bodies/body_arms.obj" >/dev/null
# Blender's Python must find the system's numpy: no other Python's paths.
path=$(printf '%s' "$PATH" | tr ':' '\n' | grep -v pyenv | paste -sd: -)
env -u PYTHONPATH -u PYTHONHOME PATH="$path" blender -b --factory-startup \
  --python "$here/blender_bend.py" -- legs "$out/legs.glb" arms "$out/arms.glb" 2>/dev/null |
  grep -E '^(file|blender)	'
