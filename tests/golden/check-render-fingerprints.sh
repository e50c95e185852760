#!/usr/bin/env bash
# The golden renders: every case of scripts/render-fingerprints must give the SHA-256 in
# render-fingerprints.txt beside this script, so no change alters a sample of the sound
# unnoticed. render-stretches.txt beside it holds a checksum of every stretch of 1024
# frames of each case, so that a case that fails is named with the frames where it first
# departs. A change meant to alter the sound regenerates both tables on purpose:
#
#   HALVORA_UPDATE_GOLDEN=1 ctest --test-dir build -R Render.GoldenFingerprints
#
# and the new tables are committed with it.
#
# usage: check-render-fingerprints.sh HALVORA_RENDER
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
render="${1:?usage: check-render-fingerprints.sh HALVORA_RENDER}"
golden="$here/render-fingerprints.txt"
goldenStretches="$here/render-stretches.txt"

actual="$(mktemp)"
actualStretches="$(mktemp)"
trap 'rm -f "$actual" "$actualStretches"' EXIT

"$here/../../scripts/render-fingerprints" --stretches "$actualStretches" "$render" > "$actual" 2> /dev/null

if [ "${HALVORA_UPDATE_GOLDEN:-0}" = "1" ]; then
    cp "$actual" "$golden"
    cp "$actualStretches" "$goldenStretches"
    echo "golden renders: $golden and $goldenStretches rewritten ($(wc -l < "$golden") cases)"
    exit 0
fi

if ! diff -u "$golden" "$actual"; then
    echo "golden renders: the lines marked + differ from $golden (HALVORA_UPDATE_GOLDEN=1 rewrites it)" >&2

    # Where each differing case first departs, from the two stretch tables.
    python3 - "$golden" "$actual" "$goldenStretches" "$actualStretches" <<'PYTHON' >&2
import sys

def table(path, split):
    try:
        with open(path) as f:
            return {fields[split]: fields for fields in (line.split() for line in f) if fields}
    except FileNotFoundError:
        return {}

golden, actual = table(sys.argv[1], 1), table(sys.argv[2], 1)
golden_stretches, actual_stretches = table(sys.argv[3], 0), table(sys.argv[4], 0)
frames_per_stretch = 1024

for name, fields in actual.items():
    if name in golden and golden[name][0] == fields[0]:
        continue
    if name not in golden:
        print(f"golden renders: {name}: a case the table does not have")
        continue
    old, new = golden_stretches.get(name), actual_stretches.get(name)
    if old is None or new is None:
        print(f"golden renders: {name}: differs (no stretch checksums to say where)")
        continue
    old_frames, new_frames = int(old[1]), int(new[1])
    first = next((i for i, (a, b) in enumerate(zip(old[2:], new[2:])) if a != b), None)
    if first is not None:
        start = first * frames_per_stretch
        end = min(start + frames_per_stretch, old_frames, new_frames) - 1
        print(f"golden renders: {name}: first departs in frames {start} to {end} (stretch {first + 1} of {len(old) - 2})")
    elif old_frames != new_frames:
        print(f"golden renders: {name}: {new_frames} frames where the table has {old_frames}; the frames both have match")
    else:
        print(f"golden renders: {name}: every frame matches; the file around them differs")

for name in golden:
    if name not in actual:
        print(f"golden renders: {name}: a case of the table that was not rendered")
PYTHON
    exit 1
fi

echo "golden renders: all $(wc -l < "$golden") cases match"
