#!/usr/bin/env bash
# The Debian package, as a user gets it: packed from the build's binaries (no rebuild), then
# unpacked with dpkg-deb into a scratch folder. Its layout is Debian's for audio plug-ins,
# its dependencies name what the framework loads at run time, lilv finds the LV2 plug-in in
# it, the VST3 bundle carries its category, its halvora-render runs and knows its version,
# its menu entry, icons and manual pages are valid, lintian finds no errors, and its
# copyright file is in Debian's machine-readable form. Installed over the 0.1.0 package, it
# upgrades it.
#
# usage: package-contents.sh BUILD_DIR VERSION LV2_URI
set -euo pipefail

build="$1"
version="$2"
uri="$3"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "$*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack failed"; }

deb="$work/out/halvora_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }

#==============================================================================
# Control fields: the version is the project's, the dependencies come from dpkg-shlibdeps.
[ "$(dpkg-deb -f "$deb" Package)" = halvora ] || fail "package name is not halvora"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), expected $version"
depends="$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')"
for lib in libc6 libstdc++6 libfreetype6; do
    grep -qx "$lib" <<< "$depends" || fail "Depends lacks $lib (did dpkg-shlibdeps run?): $(dpkg-deb -f "$deb" Depends)"
done
# The X11 libraries the framework opens at run time, which dpkg-shlibdeps cannot see.
for lib in libx11-6 libxext6 libxcursor1 libxinerama1 libxrandr2; do
    grep -qx "$lib" <<< "$depends" || fail "Depends lacks $lib, which the framework loads: $(dpkg-deb -f "$deb" Depends)"
done
# JACK, loaded only when chosen, is recommended as one relation with its two alternatives.
dpkg-deb -f "$deb" Recommends | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -qx 'libjack-jackd2-0 | libjack0' \
    || fail "Recommends is not libjack-jackd2-0 | libjack0: '$(dpkg-deb -f "$deb" Recommends)'"

root="$work/root"
dpkg-deb -x "$deb" "$root"

#==============================================================================
# Layout.
icon_sizes=(16 24 32 48 64 128 256)
expected=(
    usr/lib/lv2/Halvora.lv2/manifest.ttl usr/lib/lv2/Halvora.lv2/dsp.ttl usr/lib/lv2/Halvora.lv2/ui.ttl
    usr/lib/lv2/Halvora.lv2/libHalvora.so
    usr/lib/vst3/Halvora.vst3/Contents/x86_64-linux/Halvora.so
    usr/lib/vst3/Halvora.vst3/Contents/Resources/moduleinfo.json
    usr/lib/clap/Halvora.clap
    usr/bin/halvora usr/bin/halvora-render
    usr/share/applications/halvora.desktop
    usr/share/man/man1/halvora-render.1.gz usr/share/man/man1/halvora.1.gz
    usr/share/doc/halvora/copyright usr/share/doc/halvora/changelog.gz
)
for size in "${icon_sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/halvora.png")
done

for path in "${expected[@]}"; do
    [ -f "$root/$path" ] || fail "missing in the package: /$path"
done

# Nothing outside those folders (no build leftovers, no headers, no test programs).
(cd "$root" && find . -type f | sed 's|^\./||') | while read -r path; do
    case "$path" in
        usr/lib/lv2/Halvora.lv2/*|usr/lib/vst3/Halvora.vst3/*|usr/lib/clap/Halvora.clap|usr/bin/halvora|usr/bin/halvora-render) ;;
        usr/share/applications/halvora.desktop|usr/share/icons/hicolor/*/apps/halvora.png) ;;
        usr/share/man/man1/halvora.1.gz|usr/share/man/man1/halvora-render.1.gz|usr/share/doc/halvora/*) ;;
        *) fail "unexpected file in the package: /$path" ;;
    esac
done

for exe in usr/bin/halvora usr/bin/halvora-render; do
    [ -x "$root/$exe" ] || fail "/$exe is not executable"
done

# Stripped, as Debian ships binaries.
for elf in usr/bin/halvora usr/bin/halvora-render usr/lib/lv2/Halvora.lv2/libHalvora.so \
           usr/lib/vst3/Halvora.vst3/Contents/x86_64-linux/Halvora.so usr/lib/clap/Halvora.clap; do
    if readelf -S "$root/$elf" | grep -q '\.symtab'; then fail "/$elf is not stripped"; fi
done

# The VST3 bundle's module description files the plug-in as an effect that shifts pitch:
# "Pitch Shift" is one sub-category, not split into "Pitch" and "Shift".
subcategories="$(awk '/"Category": "Audio Module Class"/ { audio = 1 }
                      audio && /"Sub Categories": \[/ { list = 1; next }
                      list && /\]/ { exit }
                      list { gsub(/^[ \t]*"|",?[ \t]*$/, ""); print }' \
                  "$root/usr/lib/vst3/Halvora.vst3/Contents/Resources/moduleinfo.json")"
[ "$subcategories" = "$(printf 'Fx\nPitch Shift')" ] \
    || fail "the packaged moduleinfo.json's sub-categories are not Fx and Pitch Shift: $(echo "$subcategories" | tr '\n' '|')"

# Each icon is as large as the folder it sits in says (PNG width and height, big-endian at byte 16).
for size in "${icon_sizes[@]}"; do
    read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$root/usr/share/icons/hicolor/${size}x${size}/apps/halvora.png")
    w=$(( (w3 << 24) | (w2 << 16) | (w1 << 8) | w0 ))
    h=$(( (h3 << 24) | (h2 << 16) | (h1 << 8) | h0 ))
    [ "$w" -eq "$size" ] && [ "$h" -eq "$size" ] || fail "${size}x${size} icon is ${w}x${h}"
done

#==============================================================================
# The LV2 plug-in, found where the package puts it, with its named preset.
LV2_PATH="$root/usr/lib/lv2" lv2ls > "$work/lv2ls" 2>&1
grep -qx "$uri" "$work/lv2ls" || { cat "$work/lv2ls"; fail "lv2ls does not list $uri from the package"; }
grep -q 'rdfs:label "Untitled"' "$root/usr/lib/lv2/Halvora.lv2/manifest.ttl" || fail "the packaged preset is not named Untitled"

# The packaged renderer runs and carries the package's version.
"$root/usr/bin/halvora-render" --version > "$work/version"
grep -qx "halvora-render $version (JUCE 8\.[0-9]*\.[0-9]*)" "$work/version" \
    || { cat "$work/version"; fail "halvora-render --version does not print $version"; }

# The menu entry is valid and points at the packaged program and icon.
desktop-file-validate "$root/usr/share/applications/halvora.desktop" > "$work/desktop" 2>&1 || true
[ ! -s "$work/desktop" ] || { cat "$work/desktop"; fail "desktop-file-validate complains"; }
grep -qx "Exec=halvora" "$root/usr/share/applications/halvora.desktop" || fail "the menu entry does not run halvora"
grep -qx "Icon=halvora" "$root/usr/share/applications/halvora.desktop" || fail "the menu entry does not show the halvora icon"

# The manual pages render without a warning from man or groff, and say what they should.
for page in halvora-render halvora; do
    MANWIDTH=80 man -l --warnings "$root/usr/share/man/man1/$page.1.gz" > "$work/$page.txt" 2> "$work/$page.err" \
        || { cat "$work/$page.err"; fail "man cannot render $page.1"; }
    [ ! -s "$work/$page.err" ] || { cat "$work/$page.err"; fail "man warns on $page.1"; }
done
for text in "--version" "--param" "EXIT STATUS" "EXAMPLES" "$version"; do
    grep -q -- "$text" "$work/halvora-render.txt" || fail "halvora-render(1) does not mention $text"
done
for text in "--help" "--version" "EXIT STATUS" "cannot open the X display" "JACK" "$version"; do
    grep -q -- "$text" "$work/halvora.txt" || fail "halvora(1) does not mention $text"
done

# The changelog's latest entry is this version, with its changes, above the older entries.
zcat "$root/usr/share/doc/halvora/changelog.gz" > "$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] \
    || fail "the packaged changelog does not start with $version"
[ -n "$(dpkg-parsechangelog -l "$work/changelog" -S Changes | grep '^  \*')" ] \
    || fail "the packaged changelog's $version entry lists no change"
dpkg-parsechangelog -l "$work/changelog" --format rfc822 --all | grep -qx 'Version: 0.1.0' \
    || fail "the packaged changelog lost the 0.1.0 entry"

# The VST3 bundle's module description carries the version too, for hosts that show it.
grep -q "\"Version\": \"$version\"" "$root/usr/lib/vst3/Halvora.vst3/Contents/Resources/moduleinfo.json" \
    || fail "moduleinfo.json does not give the version $version"

#==============================================================================
# An upgrade, as apt does it, into a dpkg database of its own: the package installed over
# the first one, 0.1.0. That one is made from this package, relabelled 0.1.0 and without
# the CLAP plug-in, which came later; the upgrade must take its place, version and files.
old_version=0.1.0
dpkg --compare-versions "$version" gt "$old_version" || fail "$version does not sort after $old_version"
old_tree="$work/old-tree"
dpkg-deb -R "$deb" "$old_tree"
sed -i "s/^Version: .*/Version: $old_version/" "$old_tree/DEBIAN/control"
rm "$old_tree/usr/lib/clap/Halvora.clap"
rmdir "$old_tree/usr/lib/clap"
sed -i '\| usr/lib/clap/|d' "$old_tree/DEBIAN/md5sums"
old_deb="$work/halvora_${old_version}.deb"
dpkg-deb --root-owner-group -b "$old_tree" "$old_deb" > /dev/null

system="$work/system"
mkdir -p "$system/var/lib/dpkg/info" "$system/var/lib/dpkg/updates" "$system/var/lib/dpkg/triggers"
: > "$system/var/lib/dpkg/status"
: > "$system/var/lib/dpkg/available"
# Its dependencies are not in that database, so they are not asked for. The maintainer
# scripts (CPack's ldconfig call) run outside the scratch root, which holds no shell, with a
# stand-in ldconfig first on the PATH, so the machine's library cache is left alone.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/ldconfig"
chmod +x "$work/bin/ldconfig"
in_system() {
    PATH="$work/bin:$PATH" dpkg --root="$system" --log=/dev/null --force-depends --force-not-root \
        --force-script-chrootless "$@"
}
installed_version() { dpkg-query --admindir="$system/var/lib/dpkg" -W -f '${Status} ${Version}' halvora; }

in_system -i "$old_deb" > "$work/install-old.log" 2>&1 || { cat "$work/install-old.log"; fail "dpkg cannot install the $old_version package"; }
[ "$(installed_version)" = "install ok installed $old_version" ] || fail "after installing $old_version: $(installed_version)"
[ ! -e "$system/usr/lib/clap/Halvora.clap" ] || fail "the $old_version package installed a CLAP plug-in"

in_system -i "$deb" > "$work/upgrade.log" 2>&1 || { cat "$work/upgrade.log"; fail "dpkg cannot install $version over $old_version"; }
grep -q "over ($old_version)" "$work/upgrade.log" || { cat "$work/upgrade.log"; fail "dpkg did not take $version for an upgrade of $old_version"; }
[ "$(installed_version)" = "install ok installed $version" ] || fail "after the upgrade: $(installed_version)"
[ -f "$system/usr/lib/clap/Halvora.clap" ] || fail "the upgrade did not install the CLAP plug-in"
[ "$(zcat "$system/usr/share/doc/halvora/changelog.gz" | head -n 1)" = "$(head -n 1 "$work/changelog")" ] \
    || fail "the upgraded system's changelog is not the new one"
"$system/usr/bin/halvora-render" --version | grep -q "^halvora-render $version " \
    || fail "the upgraded halvora-render does not print $version"
dpkg-query --admindir="$system/var/lib/dpkg" -L halvora | sort > "$work/listed"
(cd "$root" && find . -type f | sed 's|^\.||' | sort) > "$work/shipped"
comm -13 "$work/listed" "$work/shipped" > "$work/unlisted"
[ ! -s "$work/unlisted" ] || { cat "$work/unlisted"; fail "dpkg does not list these files as the upgraded package's"; }

#==============================================================================
# lintian: errors fail the test, and so does any remark at all on the copyright file;
# everything else it says is shown.
command -v lintian > /dev/null || fail "lintian is not installed (scripts/bootstrap installs it)"
status=0
lintian --display-info --pedantic --tag-display-limit 0 "$deb" > "$work/lintian" 2>&1 || status=$?
cat "$work/lintian"
[ "$status" -le 1 ] || fail "lintian could not check the package (status $status)"
if [ "$status" -eq 1 ] || grep -q '^E: ' "$work/lintian"; then fail "lintian reports errors"; fi
if grep -q '^[A-Z]: .*copyright' "$work/lintian"; then fail "lintian remarks on the copyright file"; fi
# The shipped binaries carry the usual hardening (cmake/Hardening.cmake): lintian notes any
# that lacks checked buffer functions, a read-only relocation table or immediate binding.
if grep -E '^[A-Z]: .* hardening-no-(fortify-functions|relro|bindnow)' "$work/lintian"; then
    fail "lintian finds binaries without the usual hardening"
fi

# The copyright file is in Debian's machine-readable form. lintian reads that form only in
# a source package, so one is made around the packaged file, holding (empty) the files of
# the framework's modules under .deps/juce, where the file's patterns point, so that a
# pattern naming no file is caught too. Only the copyright checks run, at every severity:
# a file lintian cannot read as that form gets only a pedantic remark.
juce="$(sed -n 's/^JUCE_SOURCE_DIR:STATIC=//p' "$build/CMakeCache.txt")"
[ -d "$juce/modules" ] || fail "no JUCE tree at '$juce' (JUCE_SOURCE_DIR in $build/CMakeCache.txt)"
source="$work/source/halvora-$version"
mkdir -p "$source/debian/source"
(cd "$juce" && find modules -type f) | while read -r path; do
    mkdir -p "$source/.deps/juce/$(dirname "$path")"
    : > "$source/.deps/juce/$path"
done
# The CLAP headers' files, where their paragraph points.
clap="$(sed -n 's/^HALVORA_CLAP_DIR:PATH=//p' "$build/CMakeCache.txt")"
[ -d "$clap/clap" ] || fail "no CLAP headers at '$clap' (HALVORA_CLAP_DIR in $build/CMakeCache.txt)"
(cd "$clap" && find clap -type f) | while read -r path; do
    mkdir -p "$source/.deps/clap/$(dirname "$path")"
    : > "$source/.deps/clap/$path"
done
cp "$root/usr/share/doc/halvora/copyright" "$source/debian/copyright"
zcat "$root/usr/share/doc/halvora/changelog.gz" > "$source/debian/changelog"
echo "3.0 (native)" > "$source/debian/source/format"
printf '#!/usr/bin/make -f\n%%:\n' > "$source/debian/rules"
chmod +x "$source/debian/rules"
cat > "$source/debian/control" << EOF
Source: halvora
Maintainer: $(dpkg-deb -f "$deb" Maintainer)

Package: halvora
Architecture: any
Description: $(dpkg-deb -f "$deb" Description | head -n 1)
EOF
# dpkg-source leaves out folders named .deps (automake's) unless given patterns of its own.
(cd "$work/source" && dpkg-source --tar-ignore=.git -b "halvora-$version" > "$work/dpkg-source.log" 2>&1) \
    || { cat "$work/dpkg-source.log"; fail "dpkg-source cannot build a source package around the copyright file"; }
status=0
lintian --display-info --pedantic --display-experimental --tag-display-limit 0 \
    --check-part debian/copyright,debian/copyright/dep5 "$work/source/halvora_$version.dsc" > "$work/lintian-copyright" 2>&1 || status=$?
[ "$status" -le 1 ] || { cat "$work/lintian-copyright"; fail "lintian could not check the copyright file (status $status)"; }
if grep -q '^[A-Z]: ' "$work/lintian-copyright"; then
    grep '^[A-Z]: ' "$work/lintian-copyright"
    fail "lintian remarks on the copyright file as Debian's machine-readable form"
fi

echo "$(basename "$deb"): dependencies, layout, plug-ins, renderer, menu entry, manual pages, lintian and copyright all good"
