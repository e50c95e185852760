#!/usr/bin/env bash
# `cmake --install` lays out every part where Linux hosts, menus and man look for it.
set -euo pipefail

build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null

for path in lib/lv2/Halvora.lv2/manifest.ttl lib/lv2/Halvora.lv2/libHalvora.so \
            lib/vst3/Halvora.vst3/Contents/x86_64-linux/Halvora.so lib/vst3/Halvora.vst3/Contents/Resources/moduleinfo.json \
            lib/clap/Halvora.clap \
            bin/halvora bin/halvora-render \
            share/applications/halvora.desktop share/icons/hicolor/48x48/apps/halvora.png \
            share/icons/hicolor/256x256/apps/halvora.png \
            share/man/man1/halvora-render.1.gz share/man/man1/halvora.1.gz \
            share/doc/halvora/copyright share/doc/halvora/changelog.gz; do
    [ -e "$prefix/$path" ] || { echo "missing after install: $path"; exit 1; }
done

"$prefix/bin/halvora-render" --list-params > /dev/null
echo "installed layout is complete"
