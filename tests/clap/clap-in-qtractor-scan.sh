#!/usr/bin/env bash
# Debian's Qtractor finds CLAP plug-ins with its own scanner, a program it runs on every
# plug-in file it sees: it loads the library, asks the factory for each plug-in and reads
# its ports, parameters and editor. Its one line for Halvora.clap says: a CLAP plug-in
# named Halvora, 2 audio inputs and 2 outputs, no MIDI, 11 parameters in and none out, an
# editor, at index 0 of the file.
set -euo pipefail

clap="$1"

scanner=""
for candidate in /usr/lib/*/qtractor/qtractor_plugin_scan /usr/lib/qtractor/qtractor_plugin_scan; do
    [ -x "$candidate" ] && scanner="$candidate" && break
done
if [ -z "$scanner" ]; then
    echo "qtractor_plugin_scan not found (Debian package qtractor)"
    exit 77
fi

clap="$(cd "$(dirname "$clap")" && pwd)/$(basename "$clap")"
output="$(echo "CLAP:$clap" | timeout 60 "$scanner" 2>&1)" || { echo "the scanner failed: $output"; exit 1; }
echo "$output"

IFS='|' read -r format name audio midi controls flags file index id <<< "$(echo "$output" | grep '^CLAP|' | head -n 1)"
[ "$format" = "CLAP" ] || { echo "no CLAP line from the scanner"; exit 1; }
[ "$name" = "Halvora" ] || { echo "named '$name', not Halvora"; exit 1; }
[ "$audio" = "2:2" ] || { echo "audio ports $audio, not 2:2"; exit 1; }
[ "$midi" = "0:0" ] || { echo "MIDI ports $midi, not 0:0"; exit 1; }
[ "$controls" = "11:0" ] || { echo "parameters $controls, not 11:0"; exit 1; }
case ",$flags," in *,GUI,*) ;; *) echo "no editor in the flags '$flags'"; exit 1 ;; esac
[ "$file" = "$clap" ] && [ "$index" = "0" ] || { echo "file '$file' index '$index'"; exit 1; }
[ "$(echo "$output" | grep -c '^CLAP|')" -eq 1 ] || { echo "more than one plug-in listed"; exit 1; }
echo "Qtractor's scanner lists Halvora.clap as a stereo CLAP effect with 11 parameters and an editor ($id)"
