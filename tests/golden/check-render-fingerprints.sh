#!/usr/bin/env bash
# The golden renders: every case of scripts/render-fingerprints must give the SHA-256 in
# render-fingerprints.txt beside this script, so no change alters a sample of the sound
# unnoticed. A change meant to alter the sound regenerates the table on purpose:
#
#   HALVORA_UPDATE_GOLDEN=1 ctest --test-dir build -R Render.GoldenFingerprints
#
# and the new table is committed with it.
#
# usage: check-render-fingerprints.sh HALVORA_RENDER
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
render="${1:?usage: check-render-fingerprints.sh HALVORA_RENDER}"
golden="$here/render-fingerprints.txt"

actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT

"$here/../../scripts/render-fingerprints" "$render" > "$actual" 2> /dev/null

if [ "${HALVORA_UPDATE_GOLDEN:-0}" = "1" ]; then
    cp "$actual" "$golden"
    echo "golden renders: $golden rewritten ($(wc -l < "$golden") cases)"
    exit 0
fi

if ! diff -u "$golden" "$actual"; then
    echo "golden renders: the lines marked + differ from $golden (HALVORA_UPDATE_GOLDEN=1 rewrites it)" >&2
    exit 1
fi

echo "golden renders: all $(wc -l < "$golden") cases match"
