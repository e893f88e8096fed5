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
count=0
while IFS= read -r rel; do
    out=$outdir/${rel%.json}.tsr
    mkdir -p "$(dirname "$out")"
    "$tool" build "$scratch/quellen/$rel" "$out" </dev/null
    count=$((count + 1))
done <"$scratch/liste"

echo "$count topics written to $outdir"
