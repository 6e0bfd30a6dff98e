#!/bin/sh
# Judges the command's skin weights against an artist's painted ones and
# Blender's automatic weights on one character of Debian's 0ad-data (see
# SOURCES.md), by hand; not a test: the package is some 1.4 GB to fetch and
# 3.2 GB installed, so scripts/setup does not install it.
#   tests/artist/compare_artist.sh SPINDLE [PUBLIC_ZIP [MESH]]
# PUBLIC_ZIP defaults to the installed package's; to use the package without
# installing it: apt-get download 0ad-data, then
#   dpkg-deb --fsys-tarfile 0ad-data_*.deb | tar -x ./usr/share/games/0ad/mods/public/public.zip
# MESH defaults to art/meshes/skeletal/new/m_naked.dae.cached.pmd.
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 SPINDLE [PUBLIC_ZIP [MESH]]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
spindle=$1
archive=${2:-/usr/share/games/0ad/mods/public/public.zip}
mesh=${3:-art/meshes/skeletal/new/m_naked.dae.cached.pmd}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
path=$(printf '%s' "$PATH" | tr ':' '\n' | grep -v pyenv | paste -sd: -)
/usr/bin/python3 "$here/pmd_body.py" "$archive" "$mesh" "$out/body"
"$spindle" -q --join-lines -o "$out/body.lws" --gltf "$out/body.glb" "$out/body.obj" >/dev/null 2>&1
env -u PYTHONPATH -u PYTHONHOME PATH="$path" blender -b --factory-startup \
  --python "$here/compare_artist.py" -- "$out/body.json" "$out/body.glb" 2>/dev/null | grep -E '^(file|artist|blender)	'
