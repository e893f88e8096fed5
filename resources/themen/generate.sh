#!/usr/bin/env bash
# Regenerates the sample topics shipped with Kapitolo.
#
#   generate.sh TOOL OUTDIR
#
# Draws the pictures (GMT maps, ImageMagick drawing, blank cloze page), writes
# one build source per template into a scratch folder and lets
# "TOOL build SOURCE.json OUTDIR/<name>.tsr" make the topic files.  Templates
# in sub-folders end up in the same sub-folders of OUTDIR.  Nothing is
# written next to this script, and the scratch folder is removed again, so
# several runs may go on at the same time.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 TOOL OUTDIR" >&2
    exit 2
fi
tool=$1
outdir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

for prog in gmt python3; do
    if ! command -v "$prog" >/dev/null 2>&1; then
        echo "$0: $prog is needed but not installed" >&2
        exit 1
    fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kapitolo-themen.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Keep GMT's session files, settings and caches inside the scratch folder:
# no ~/.gmt, no gmt.conf of the caller, no clash with a parallel run.
export GMT_TMPDIR=$scratch/gmt
export GMT_USERDIR=$scratch/gmt/user
export GMT_CACHEDIR=$scratch/gmt/cache
mkdir -p "$GMT_TMPDIR" "$GMT_USERDIR" "$GMT_CACHEDIR"

python3 "$here/scripts/themen.py" "$here" "$scratch/quellen" >"$scratch/liste"

mkdir -p "$outdir"
# With a cache, the tool's topic files are kept there too, under a hash of
# the tool and of the build source and its picture: a build whose inputs did
# not change runs neither GMT nor the tool.
tool_cache=
if [ -n "${KAPITOLO_THEMEN_CACHE:-}" ]; then
    tool_cache=$KAPITOLO_THEMEN_CACHE/themen
    mkdir -p "$tool_cache"
    tool_hash=$(sha256sum "$(command -v "$tool")" | cut -d' ' -f1)
fi
# one topic: from the cache, or made by the tool (and kept in the cache)
make_topic() {
    local rel=$1 out src png beside key entry
    out=$outdir/${rel%.json}.tsr
    src=$scratch/quellen/$rel
    png=${src%.json}.png
    beside=$(dirname "$out")/$(basename "${rel%.json}").png
    mkdir -p "$(dirname "$out")"
    if [ -n "$tool_cache" ]; then
        key=$({ echo "$tool_hash"; cat "$src"; [ ! -f "$png" ] || cat "$png"; } | sha256sum | cut -d' ' -f1)
        entry=$tool_cache/$key
    fi
    if [ -n "$tool_cache" ] && [ -f "$entry.tsr" ]; then
        cp "$entry.tsr" "$out"
        [ ! -f "$entry.bild" ] || cp "$entry.bild" "$beside"
    else
        "$tool" build "$src" "$out" </dev/null
        if [ -n "$tool_cache" ]; then
            # a tool that leaves the picture beside the topic file (the
            # checks' stand-in): keep it too; under a name of our own first
            [ ! -f "$beside" ] || cp "$beside" "$entry.bild.$BASHPID"
            cp "$out" "$entry.tsr.$BASHPID"
            [ ! -f "$entry.bild.$BASHPID" ] || mv "$entry.bild.$BASHPID" "$entry.bild"
            mv "$entry.tsr.$BASHPID" "$entry.tsr"
        fi
    fi
}
# two topics at a time, as the maps are drawn two at a time
count=0
failed=0
while IFS= read -r rel; do
    make_topic "$rel" &
    count=$((count + 1))
    if [ "$(jobs -rp | wc -l)" -ge 2 ]; then
        wait -n || { rc=$?; [ "$rc" -eq 127 ] || failed=1; }
    fi
done <"$scratch/liste"
while [ -n "$(jobs -rp)" ]; do
    wait -n || { rc=$?; [ "$rc" -eq 127 ] || failed=1; }
done
wait || failed=1
if [ "$failed" -ne 0 ]; then
    echo "$0: the tool could not make every topic" >&2
    exit 1
fi

echo "$count topics written to $outdir"
