#!/usr/bin/env bash
# Peak memory of decoding every picture under tests/data and a set of large
# pictures written for the purpose (4000 x 3000 JPEG, PNG and BMP, a
# 16-frame 1000 x 1000 GIF, an icon with a 256 x 256 PNG entry, and copies
# of some cut off after 4 KiB). Each file must stay under 16 MiB plus 12
# bytes per decoded pixel; the exit status is non-zero when one does not.
#
#   bench/peak-memory.sh [path/to/decode_peak]     (default build/bin/decode_peak)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/bin/decode_peak}
if [[ ! -x $program ]]; then
  echo "peak-memory: $program not found; build with TINTERY_BENCH=ON first" >&2
  exit 2
fi

samples=$(mktemp -d "${TMPDIR:-/tmp}/tintery-peak.XXXXXX")
trap 'rm -rf "$samples"' EXIT

echo "Writing large pictures to $samples ..."
"$program" --make "$samples" >/dev/null

cd "$root"
files=()
while IFS= read -r -d '' file; do
  files+=("$file")
done < <(find tests/data "$samples" -type f \
  \( -iname '*.bmp' -o -iname '*.gif' -o -iname '*.ico' -o -iname '*.jpg' -o -iname '*.jpeg' \
     -o -iname '*.png' \) -print0 | sort -z)

"$program" "${files[@]}"
