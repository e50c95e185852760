"""The steps of scripts/check-in-audacity, which explains the whole.

  prepare WORK RENDERER        writes the input files and the user presets, prints the cases
  run WORK RENDERER PIPE       drives Audacity through mod-script-pipe, one case a line on stdin
"""
import base64
import math
import os
import re
import signal
import struct
import subprocess
import sys
import time

RATE = 44100
SECONDS = 3

# Each case: its name and the halvora-render settings; the values reach Audacity as a user
# preset of the same name. "everything" moves every control off its default.
CASES = [
    ("defaults", {}),
    ("everything", {"formant": "0.25", "gain": "-6", "vibRate": "5.5", "vibDepth": "40", "delayMix": "30",
                    "reverbMix": "20", "morvel": "0.8", "range": "2", "voice": "1", "key": "3", "scale": "1"}),
]
FILES = [("stereo", 2), ("mono", 1)]

# Audacity keeps an effect's settings under "Effect_<family>_<vendor>_<name>", the vendor and
# name being those of the plug-in's metadata.
SETTINGS_ID = "Effect_LV2_Halvora Audio_Halvora"


def parameters(renderer):
    """ID, display name and default of each parameter, as halvora-render lists them; a
    choice's default as its index, which is the value of its LV2 port."""
    listing = subprocess.run([renderer, "--list-params"], check=True, capture_output=True, text=True).stdout
    found = []
    for line in listing.splitlines():
        m = re.match(r'(\w+)\s+"([^"]+)"\s+(?:choices (.*); )?.*default (\S+)$', line)
        if m:
            pid, display, choices, default = m.groups()
            found.append((pid, display, str(choices.split(", ").index(default)) if choices else default))
    return found


def write_wav(path, channels, frames):
    """32-bit float WAV."""
    data = struct.pack("<%df" % len(frames), *frames)
    fmt = struct.pack("<HHIIHH", 3, channels, RATE, RATE * 4 * channels, 4 * channels, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


def read_wav(path):
    """Format fields and the data chunk's bytes."""
    data = open(path, "rb").read()
    pos, fmt = 12, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if tag == b"fmt ":
            fmt = struct.unpack("<HHIIHH", data[pos + 8:pos + 24])
        if tag == b"data":
            return fmt, data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    return fmt, b""


def prepare(work, renderer):
    # A sung glide with a few harmonics, rising a minor third every half second; the right
    # channel quieter, so that a mixed-up channel shows.
    left, phase = [], 0.0
    for i in range(RATE * SECONDS):
        phase += 2 * math.pi * 220 * 2 ** (((i / RATE) * 2) % 1.0 / 4) / RATE
        left.append(0.3 * math.sin(phase) + 0.1 * math.sin(2 * phase) + 0.05 * math.sin(3 * phase))
    stereo = [s for v in left for s in (v, 0.7 * v)]
    write_wav(os.path.join(work, "stereo.wav"), 2, stereo)
    write_wav(os.path.join(work, "mono.wav"), 1, left)

    # Audacity reads a preset's keys with spaces turned into underscores.
    group = base64.b64encode(SETTINGS_ID.encode()).decode().replace("=", "\\=")
    with open(os.path.join(work, "home/.config/audacity/pluginsettings.cfg"), "w") as cfg:
        cfg.write("pluginsettingsversion=1.0\n")
        for name, values in CASES:
            entries = ['%s="%s"' % (display.replace(" ", "_"), values.get(pid, default))
                       for pid, display, default in parameters(renderer)]
            cfg.write("[pluginsettings/base64\\:%s/private/UserPresets/%s]\n" % (group, name))
            cfg.write("Parameters=%s\n" % " ".join(entries))
    for name, values in CASES:
        print(name, *("%s=%s" % item for item in values.items()))


class Audacity:
    """One connection to mod-script-pipe; each command's answer ends with an empty line."""

    def __init__(self, pipe):
        uid = os.getuid()
        to, answers = "%s.to.%d" % (pipe, uid), "%s.from.%d" % (pipe, uid)
        # The module makes its FIFOs anew each time it starts, and Audacity may start it more
        # than once while it comes up: wait until the pair has stood still for five seconds.
        deadline, seen, since = time.time() + 90, None, time.time()
        while True:
            try:
                now = (os.stat(to).st_ino, os.stat(answers).st_ino)
            except FileNotFoundError:
                now = None
            if now != seen:
                seen, since = now, time.time()
            elif now is not None and time.time() - since >= 5:
                break
            if time.time() > deadline:
                raise RuntimeError("Audacity opened no script pipe in 90 s (is mod-script-pipe on?)")
            time.sleep(0.5)
        signal.signal(signal.SIGALRM, self._timeout)
        signal.alarm(60)
        self.to = open(to, "w")
        self.answers = open(answers)
        signal.alarm(0)

    @staticmethod
    def _timeout(*_):
        raise RuntimeError("Audacity did not answer in time (a dialog may be open)")

    def command(self, text):
        if os.environ.get("VERBOSE"):
            print("      > " + text, flush=True)
        signal.alarm(120)
        self.to.write(text + "\n")
        self.to.flush()
        lines = []
        while True:
            line = self.answers.readline()
            if line == "":
                raise RuntimeError("Audacity closed its script pipe")
            if line == "\n" and lines:
                break
            lines.append(line.rstrip("\n"))
        signal.alarm(0)
        if not lines or lines[-1] != "BatchCommand finished: OK":
            raise RuntimeError("%s: %s" % (text, " / ".join(lines)))
        return lines[:-1]


def run(work, renderer, pipe):
    failed = False

    def report(ok, text):
        nonlocal failed
        print(("ok    " if ok else "FAIL  ") + text)
        failed |= not ok

    try:
        audacity = Audacity(pipe)
        commands = "\n".join(audacity.command("GetInfo: Type=Commands Format=JSON"))
        report('"id":"Halvora"' in commands, "Audacity's own plug-in scan found Halvora (the command Halvora: is listed)")

        for line in sys.stdin:
            name, *settings = line.split()
            for label, channels in FILES:
                source = os.path.join(work, label + ".wav")
                through_audacity = os.path.join(work, "%s-%s-audacity.wav" % (name, label))
                through_renderer = os.path.join(work, "%s-%s-render.wav" % (name, label))
                audacity.command("SelectAll:")
                audacity.command("RemoveTracks:")
                audacity.command("Import2: Filename=\"%s\"" % source)
                audacity.command("SelectAll:")
                audacity.command("Halvora: Use_Preset=\"User Preset:%s\"" % name)
                audacity.command("Export2: Filename=\"%s\" NumChannels=%d" % (through_audacity, channels))
                options = [a for s in settings for a in ("-p", s)]
                subprocess.run([renderer, "-q", *options, source, through_renderer], check=True)

                fmt_a, a = read_wav(through_audacity)
                fmt_r, r = read_wav(through_renderer)
                case = "%s, %s" % (name, label)
                if fmt_a != fmt_r or len(a) != len(r):
                    report(False, "%s: Audacity wrote %s with %d bytes, halvora-render %s with %d" % (case, fmt_a, len(a), fmt_r, len(r)))
                elif a == r:
                    report(True, "%s: Audacity's output equals halvora-render's to the bit (%d frames)" % (case, len(a) // (4 * channels)))
                else:
                    fa, fr = struct.unpack("<%df" % (len(a) // 4), a), struct.unpack("<%df" % (len(r) // 4), r)
                    differing = [i for i in range(len(fa)) if fa[i] != fr[i]]
                    report(False, "%s: %d of %d samples differ from halvora-render's, the first at sample %d, by up to %g"
                           % (case, len(differing), len(fa), differing[0], max(abs(fa[i] - fr[i]) for i in differing)))
    except (RuntimeError, OSError, subprocess.CalledProcessError) as error:
        report(False, str(error))
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "prepare":
        prepare(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "run":
        sys.exit(run(sys.argv[2], sys.argv[3], sys.argv[4]))
    else:
        sys.exit(__doc__)
