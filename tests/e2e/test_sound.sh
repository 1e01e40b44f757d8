# Sound on the real game. With no usable sound device the game plays silent: it runs, Escape
# ends it with status 0, nothing reaches standard output and at most one note standard error.
# Through OpenAL Soft's wave-file backend: paddling is heard over the hall's ambience, and M
# silences everything.
source "$(dirname "$0")/lib.sh"
link_data
write_settings 640 360 false

export ALSOFT_DRIVERS=no-such-backend
start_game
wait_window
settle 2
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "without a device Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "without a device something was printed"
[ "$(wc -l < "$RUN/stderr")" -le 1 ] || fail "more than one note on standard error"

# The game may write only in the player's folders, so the wave file goes there.
export XDG_DATA_HOME="$RUN/player"
WAVE="$XDG_DATA_HOME/velloran/heard.wav"
printf '[general]\nsample-type=int16\nfrequency=48000\n[wave]\nfile=%s\n' "$WAVE" > "$RUN/alsoft.conf"
export ALSOFT_DRIVERS=wave ALSOFT_CONF="$RUN/alsoft.conf"
start_game
wait_window
# The device (and its file) opens once the window is there, before the shaders are built.
for ((i = 0; i < 300; i++)); do [ -s "$WAVE" ] && break; sleep 0.2; done
[ -s "$WAVE" ] || fail "the wave file was not started within 60 s"
# Keys count from the first frame on.
wait_drawn 60 "$RUN/shot.png" || fail "the window shows nothing"
settle 1
hold_key w 4
send_key m
settle 4
send_key Escape
wait_exit 30
[ "$EXIT_RC" = 0 ] || fail "with sound Escape gave exit status $EXIT_RC"
[ ! -s "$RUN/stdout" ] || fail "with sound something was printed"

# Loudness of 50 ms windows: paddling stands out over the quietest window once the ambience
# has faded in (3 s), and the file's last second, well after M, is silent.
python3 - "$WAVE" <<'PY' || fail "the wave file does not sound as expected"
import array, math, struct, sys
data = open(sys.argv[1], "rb").read()
at, rate, s = 12, 0, None  # RIFF chunks (the backend writes the extensible format header)
while at + 8 <= len(data):
    cid, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
    if cid == b"fmt ":
        channels, rate = struct.unpack("<HI", data[at + 10:at + 16])
        bits = struct.unpack("<H", data[at + 22:at + 24])[0]
        assert channels == 2 and bits == 16, "not 16-bit stereo"
    if cid == b"data":
        s = array.array("h", data[at + 8:at + 8 + (size or len(data))][:(len(data) - at - 8) // 2 * 2])
        break
    at += 8 + size + (size & 1)
step = rate // 20
def rms(i):
    part = s[2 * i * step:2 * (i + 1) * step]
    return math.sqrt(sum(v * v for v in part) / max(1, len(part))) / 32768
windows = [rms(i) for i in range(len(s) // (2 * step))]
# The device opens while the game still builds its shaders: silence until the ambience starts.
windows = windows[next((i for i, w in enumerate(windows) if w > 1e-3), 0):]
tail = windows[-20:]
playing = windows[:-100] if len(windows) > 140 else windows[:len(windows) // 2]
faded = playing[60:] or playing
floor = sorted(faded)[len(faded) // 10]
print("seconds %.1f, ambience %.1f dB, loudest %.1f dB, last second %.1f dB" % (
    len(windows) / 20, 20 * math.log10(max(floor, 1e-9)), 20 * math.log10(max(max(playing), 1e-9)),
    20 * math.log10(max(max(tail), 1e-9))))
assert floor > 0, "no ambience"
assert max(playing) > 3 * floor, "no stroke over the ambience"
assert max(tail) < 0.1 * floor, "still sounding after M"
PY
echo "sound: ok"
