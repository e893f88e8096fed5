#!/usr/bin/env bash
# Stand-in for "kapitolo-tool build SOURCE.json OUT.tsr" until the real tool
# is there: checks that SOURCE.json is valid JSON and that its image exists,
# then copies the source to OUT.tsr and the image next to it (the real tool
# packs the image into the topic file).
set -euo pipefail

if [ $# -ne 3 ] || [ "$1" != build ]; then
    echo "usage: $0 build SOURCE.json OUT.tsr" >&2
    exit 2
fi
src=$2
out=$3

python3 -m json.tool "$src" >/dev/null
image=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1], encoding="utf-8")).get("image", ""))' "$src")
if [ -n "$image" ]; then
    srcdir=$(dirname "$src")
    if [ ! -f "$srcdir/$image" ]; then
        echo "$0: $src: image $image not found" >&2
        exit 1
    fi
    cp "$srcdir/$image" "$(dirname "$out")/$image"
fi
cp "$src" "$out"
