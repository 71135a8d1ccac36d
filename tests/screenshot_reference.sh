#!/usr/bin/env bash
# The AppStream screenshot is docs/brindle.png, published: the size that the
# metainfo gives for it must be the picture's own, or software centres lay
# out a stale frame. Usage: screenshot_reference.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
png="$source_dir/docs/brindle.png"
metainfo="$source_dir/data/it.vantelo.brindle.metainfo.xml"

[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || { echo "not a PNG: $png" >&2; exit 1; }
# IHDR: width and height, big-endian, at bytes 16 and 20.
read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
  awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
line=$(grep -o '<image type="source"[^>]*>[^<]*brindle\.png</image>' "$metainfo") ||
  { echo "no source image named brindle.png in $metainfo" >&2; exit 1; }
[[ $line =~ width=\"([0-9]+)\" ]] && said_width=${BASH_REMATCH[1]}
[[ $line =~ height=\"([0-9]+)\" ]] && said_height=${BASH_REMATCH[1]}
if [ "${said_width:-}" != "$width" ] || [ "${said_height:-}" != "$height" ]; then
  echo "metainfo says ${said_width:-?}x${said_height:-?}, docs/brindle.png is ${width}x${height}" >&2
  exit 1
fi
echo "docs/brindle.png ${width}x${height}, as the metainfo says"
