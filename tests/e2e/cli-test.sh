#!/usr/bin/env bash
# One kinetar-cli test case: cli-test.sh CASE PATH-TO-KINETAR-CLI. Fails with the first broken check.
set -uo pipefail
case_name=$1
cli=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kinetar-cli-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL ($case_name): $*" >&2; exit 1; }
# expect_status WANTED COMMAND...: runs it, keeping stdout in out.txt and stderr in err.txt.
expect_status() {
  local wanted=$1; shift
  "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" -eq "$wanted" ] || fail "'$*' exited $got, expected $wanted; stderr: $(cat err.txt)"
}
expect_line() {  # expect_line FILE LINE: an exact line
  grep -qxF -- "$2" "$1" || fail "no line '$2' in $1: $(cat "$1")"
}
# pictures NAME:WxH:RRGGBB...: 24-bit bitmaps of one colour each.
pictures() {
  /usr/bin/python3 - "$@" <<'PY'
import sys
from PIL import Image
for item in sys.argv[1:]:
    name, size, color = item.split(":")
    w, h = map(int, size.split("x"))
    Image.new("RGB", (w, h), tuple(int(color[i:i + 2], 16) for i in (0, 2, 4))).save(name)
PY
}
probe() {  # probe FILE ENTRY: one stream value as ffprobe reads it
  ffprobe -v error -count_frames -select_streams v:0 -show_entries "stream=$2" -of default=nw=1:nk=1 "$1"
}
hex() {  # hex FILE OFFSET COUNT: those bytes as one hex string
  od -An -v -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'
}
# json_holds PROJECT CONDITION...: each a Python expression over d, the strictly parsed info --json.
json_holds() {
  "$cli" info --json "$1" >info.json || fail "info --json $1"
  shift
  /usr/bin/python3 -c 'import json, sys
d = json.load(open("info.json"))
for condition in sys.argv[1:]:
    assert eval(condition), condition + " in " + json.dumps(d)' "$@" || fail "info --json"
}
frames_listed() {  # the picture names of info's frame lines, in order
  "$cli" info "$1" | awk -F'\t' 'NF == 3 { n = split($3, p, "/"); printf "%s %s\n", $2, p[n] }'
}

case $case_name in
usage)
  expect_status 2 "$cli"
  grep -q '^Usage: kinetar-cli' err.txt || fail "no usage line"
  expect_status 2 "$cli" frobnicate
  expect_status 2 "$cli" info
  expect_status 2 "$cli" render p.AVIprj --bogus
  grep -q "unknown option --bogus" err.txt || fail "bad option not named"
  expect_status 0 "$cli" --version
  expect_line out.txt "kinetar-cli 1.0.0"
  for help in --help -h "render -h" "add p.AVIprj --fit crop --help"; do
    # shellcheck disable=SC2086
    expect_status 0 "$cli" $help
    grep -q '^Usage: kinetar-cli' out.txt || fail "$help shows no usage"
  done
  ;;

new_set_info)
  expect_status 0 "$cli" new p.AVIprj
  [ "$(stat -c %s p.AVIprj)" -eq 360 ] || fail "a new project is not a 360-byte header"
  "$cli" info p.AVIprj >info.txt
  expect_line info.txt "Colour depth: 24 bits"
  expect_line info.txt "Frames per second: 8"
  expect_line info.txt "Play after generation: yes"
  expect_line info.txt "Frames: 0"
  cp p.AVIprj before
  "$cli" set p.AVIprj --fps 3
  expect_status 1 "$cli" new p.AVIprj
  grep -q "already exists" err.txt || fail "no reason for refusing"
  "$cli" info p.AVIprj | grep -qx "Frames per second: 3" || fail "new overwrote without --force"
  expect_status 0 "$cli" new --force p.AVIprj
  cmp -s p.AVIprj before || fail "--force did not make a new project"
  expect_status 0 "$cli" set p.AVIprj --size 320x240 --fps 12 --depth 4 --output sub/x.avi --play no
  "$cli" info p.AVIprj >info.txt
  expect_line info.txt "Size: 320x240"
  expect_line info.txt "Colour depth: 4 bits"
  expect_line info.txt "Frames per second: 12"
  expect_line info.txt "Destination: $work/sub/x.avi"
  expect_line info.txt "Play after generation: no"
  cp p.AVIprj before
  for bad in "--size 0x10" "--size 10x32768" "--size 10" "--fps 0" "--depth 5" "--play maybe"; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" set p.AVIprj $bad
  done
  cmp -s p.AVIprj before || fail "a refused set changed the project"
  ls -A | grep -q '^\.p\.AVIprj' && fail "a temporary project file was left behind"
  true
  ;;

add_sort)
  pictures f9.bmp:2x2:ff0000 f10.bmp:2x2:00ff00 f100.bmp:2x2:0000ff a.bmp:2x2:000000 A.bmp:2x2:ffffff
  "$cli" new p.AVIprj
  expect_status 0 "$cli" add p.AVIprj f9.bmp f10.bmp f100.bmp
  [ "$(frames_listed p.AVIprj | tr '\n' ' ')" = "stretch f10.bmp stretch f100.bmp stretch f9.bmp " ] ||
    fail "name order: $(frames_listed p.AVIprj)"
  "$cli" new --force p.AVIprj
  expect_status 0 "$cli" add p.AVIprj --sort end --no-stretch f100.bmp f9.bmp f10.bmp
  [ "$(frames_listed p.AVIprj | tr '\n' ' ')" = "no-stretch f9.bmp no-stretch f10.bmp no-stretch f100.bmp " ] ||
    fail "end-number order: $(frames_listed p.AVIprj)"
  # Equal keys go before the earlier ones, whatever their case.
  expect_status 0 "$cli" add p.AVIprj a.bmp A.bmp
  [ "$(frames_listed p.AVIprj | tail -n 2 | tr '\n' ' ')" = "stretch A.bmp stretch a.bmp " ] ||
    fail "equal keys: $(frames_listed p.AVIprj)"
  # Start numbers: keys are compared as text, so a run over 9 digits stays whole and sorts by its
  # first digits, and a name without a number ("999999999") goes last.
  pictures x.bmp:2x2:000000 7a.bmp:2x2:000000 10000000000b.bmp:2x2:000000 010c.bmp:2x2:000000
  "$cli" new --force p.AVIprj
  expect_status 0 "$cli" add p.AVIprj --sort start x.bmp 10000000000b.bmp 7a.bmp 010c.bmp
  [ "$(frames_listed p.AVIprj | tr '\n' ' ')" = "stretch 7a.bmp stretch 010c.bmp stretch 10000000000b.bmp stretch x.bmp " ] ||
    fail "start-number order: $(frames_listed p.AVIprj)"
  cp p.AVIprj before
  long=$work/$(printf 'd%.0s' {1..130})/$(printf 'e%.0s' {1..130}).bmp
  mkdir -p "$(dirname "$long")" && cp a.bmp "$long"
  expect_status 1 "$cli" add p.AVIprj a.bmp "$long"
  grep -q "longer than 260 bytes" err.txt || fail "no clear message for a long path: $(cat err.txt)"
  expect_status 1 "$cli" add p.AVIprj a.bmp missing.bmp
  cmp -s p.AVIprj before || fail "a refused add changed the project"
  ;;

slideshow_add)
  pictures a.bmp:2x2:ff0000
  # Bytes 262-291 of the record: duration, Stretch, fit, crossfade, then 20 reserved zeros.
  while IFS='|' read -r options want; do
    "$cli" new --force p.AVIprj
    # shellcheck disable=SC2086
    expect_status 0 "$cli" add p.AVIprj $options a.bmp
    [ "$(hex p.AVIprj 622 30)" = "$want$(printf '0%.0s' {1..40})" ] || fail "add $options: $(hex p.AVIprj 622 30)"
  done <<'ROWS'
|00000000010000000000
--fit stretch|00000000010000000000
--no-stretch|00000000000000000000
--no-stretch --fit top-left|00000000000000000000
--fit letterbox|00000000010100000000
--fit crop|00000000010200000000
--fit centre|00000000000300000000
--duration 2.002 --crossfade .5|d20700000100f4010000
--duration 86400 --fit crop|005c2605010200000000
ROWS
  ;;

slideshow_frame)
  pictures a.bmp:2x2:ff0000 b.bmp:2x2:00ff00 c.bmp:2x2:0000ff
  "$cli" new p.AVIprj
  "$cli" set p.AVIprj --fps 25
  "$cli" add p.AVIprj a.bmp b.bmp c.bmp
  expect_status 0 "$cli" frame p.AVIprj all --duration 0.5
  cp p.AVIprj before
  expect_status 0 "$cli" frame p.AVIprj 1 --fit=crop --crossfade 0.25
  # Only frame 1's record (file bytes 653-944, counted from 1) changed.
  { cmp -l before p.AVIprj || true; } | awk '$1 < 653 || $1 > 944 { bad = 1 } END { exit bad }' || fail "other records changed"
  "$cli" info p.AVIprj >info.txt
  expect_line info.txt "1	crop	$work/b.bmp	duration 0.5 s	crossfade 0.25 s"
  expect_line info.txt "2	stretch	$work/c.bmp	duration 0.5 s"
  expect_line info.txt "Length: 0:01.5 — 38 frames"
  # 0.5 s at 25 fps: starts at round(0), round(12.5), round(25); the crossfade is round(6.25) frames.
  json_holds p.AVIprj 'd["total_frames"] == 38 and [(f["index"], f["start_frame"], f["frame_count"]) for f in d["frames"]] == [(0, 0, 13), (1, 13, 12), (2, 25, 13)]' \
    '[(f["fit"], f["duration_ms"], f["crossfade_ms"], f["crossfade_frames"]) for f in d["frames"]] == [("stretch", 500, 0, 0), ("crop", 500, 250, 6), ("stretch", 500, 0, 0)]'
  ;;

slideshow_set)
  "$cli" new p.AVIprj
  # Bytes 270-273 (FramesPerSecond), then 339-346: denominator, background, smooth scaling. Each row
  # goes on from the one before.
  while IFS='|' read -r options want; do
    # shellcheck disable=SC2086
    expect_status 0 "$cli" set p.AVIprj $options
    [ "$(hex p.AVIprj 270 4)$(hex p.AVIprj 339 8)" = "$want" ] || fail "set $options: $(hex p.AVIprj 270 4)$(hex p.AVIprj 339 8)"
  done <<'ROWS'
--fps 12|0c0000000000000000000000
--fps 29.97|30750000e903000000000000
--fps 12.5|190000000200000000000000
--fps 60/2|1e0000000000000000000000
--fps 24000/1001 --background #1A2b3c|c05d0000e90300001a2b3c00
--smooth yes --background 000000|c05d0000e903000000000001
--smooth no --fps 30000/1001|30750000e903000000000000
ROWS
  pictures a.bmp:2x2:ff0000
  "$cli" add p.AVIprj --duration 1.001 a.bmp a.bmp a.bmp
  "$cli" set p.AVIprj --background ff8000 --smooth yes
  "$cli" info p.AVIprj >info.txt
  for line in "Frames per second: 29.97" "Background: #ff8000" "Smooth scaling: yes" "Length: 0:03.0 — 90 frames"; do
    expect_line info.txt "$line"
  done
  json_holds p.AVIprj 'd["fps"] == "29.97" and d["fps_numerator"] == 30000 and d["fps_denominator"] == 1001' \
    'd["background"] == "#ff8000" and d["smooth_scaling"] and d["total_frames"] == 90'
  # A project without the new settings prints the lines it always did.
  "$cli" new --force p.AVIprj
  "$cli" add p.AVIprj a.bmp
  [ "$("$cli" info p.AVIprj | cut -d: -f1 | tr '\n' ,)" = \
    "Size,Colour depth,Frames per second,Destination,Compressor,Play after generation,Frames,0	stretch	$work/a.bmp," ] ||
    fail "plain info: $("$cli" info p.AVIprj)"
  ;;

slideshow_refused)
  pictures a.bmp:2x2:ff0000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  cp p.AVIprj before
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" $arguments
    grep -qF -- "$message" err.txt || fail "'$arguments': $(head -n 1 err.txt)"
  done <<'ROWS'
add p.AVIprj --fit stretched a.bmp|--fit must be stretch, top-left, letterbox, crop, centre or blur, not 'stretched'
add p.AVIprj --no-stretch --fit letterbox a.bmp|cannot go with --fit letterbox
add p.AVIprj --duration -1 a.bmp|--duration must be seconds from 0 to 86400
add p.AVIprj --duration 86400.001 a.bmp|not '86400.001'
add p.AVIprj --crossfade 1,5 a.bmp|--crossfade must be seconds
frame p.AVIprj 0|frame needs --fit, --duration, --crossfade, --motion or --easing
frame p.AVIprj 1 --fit crop|there is no frame 1: the project has 1 frame,
frame p.AVIprj -1 --fit crop|not '-1'
set p.AVIprj --fps 0|--fps must be a positive rate
set p.AVIprj --fps 1/0|not '1/0'
set p.AVIprj --fps abc|not 'abc'
set p.AVIprj --fps 2147483648|not '2147483648'
set p.AVIprj --background #12345g|--background must be six hex digits RRGGBB, not '#12345g'
set p.AVIprj --smooth maybe|--smooth must be yes or no
ROWS
  cmp -s p.AVIprj before || fail "a refused command changed the project"
  ;;

info_json)
  pictures a.bmp:2x2:ff0000
  odd=$'q"b\\s\nn\te\xff.bmp'
  cp a.bmp "$odd" && cp a.bmp é.bmp
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp "$odd" é.bmp
  "$cli" info --json p.AVIprj | /usr/bin/python3 -m json.tool >/dev/null || fail "info --json is not JSON"
  # A name that is not UTF-8 also comes as its bytes in hex.
  json_holds p.AVIprj "bytes.fromhex(d['frames'][1]['path_hex']) == b'$work/q\"b\\\\s\\nn\\te\\xff.bmp'" \
    "d['frames'][2]['path'] == '$work/é.bmp' and 'path_hex' not in d['frames'][2]" \
    "d['compressor'] is None and d['width'] == 0 and d['depth'] == 24 and d['play_after_generation']"
  # "stretch" is true only for a stretched picture, whatever the record's Stretch byte holds.
  "$cli" new -f q.AVIprj
  for fit in stretch top-left letterbox crop centre; do
    "$cli" add q.AVIprj --fit $fit a.bmp
  done
  json_holds q.AVIprj '[(f["fit"], f["stretch"]) for f in d["frames"]] == [("stretch", True), ("top-left", False), ("letterbox", False), ("crop", False), ("centre", False)]'
  ;;

sounds)
  pictures a.bmp:2x2:ff0000 b.bmp:2x2:00ff00
  # Sounds by content: a FLAC named .mp3 is a sound, a sound named .tga (a TGA picture by its name) is not.
  for item in one.wav:2 two.mp3:1 three.tga:1; do
    ffmpeg -v error -f lavfi -i "sine=duration=${item#*:}" -f "$(case $item in one*) echo wav;; *) echo flac;; esac)" \
      "${item%:*}" || fail "ffmpeg ${item%:*}"
  done
  "$cli" new p.AVIprj
  "$cli" set p.AVIprj --fps 10
  expect_status 0 "$cli" add p.AVIprj --duration 1 a.bmp
  # The picture options are not for sounds: their durations stay 0.
  expect_status 0 "$cli" add p.AVIprj --duration 3 --fit crop one.wav two.mp3
  expect_status 0 "$cli" add p.AVIprj --duration 1 b.bmp
  for record in 1 2; do
    [ "$(hex p.AVIprj $((360 + 292 * record)) 1)$(hex p.AVIprj $((360 + 292 * record + 262)) 10)" = 0100000000000000000000 ] ||
      fail "sound record $record: $(hex p.AVIprj $((360 + 292 * record)) 292)"
  done
  "$cli" info p.AVIprj >info.txt
  expect_line info.txt "1	sound	$work/one.wav"
  expect_line info.txt "2	sound	$work/two.mp3"
  expect_line info.txt "3	stretch	$work/b.bmp	duration 1 s"
  expect_line info.txt "Length: 0:02.0 — 20 frames"
  # Both are cued where b.bmp starts (frame 10, 1 s); the second plays when the first has ended.
  json_holds p.AVIprj 'd["total_frames"] == 20' \
    '[(f["index"], f["cue_frame"], f["start_seconds"], f["start_sample"], f["length_ms"]) for f in d["frames"] if f.get("sound")] == [(1, 10, 1, 48000, 2000), (2, 10, 3, 144000, 1000)]' \
    '[(f["index"], f["start_frame"], f["frame_count"]) for f in d["frames"] if not f.get("sound")] == [(0, 0, 10), (3, 10, 10)]'
  # frame leaves the sounds as they are; a sound cannot be the frame changed.
  cp p.AVIprj before
  expect_status 0 "$cli" frame p.AVIprj all --duration 0.5
  cmp -s <(hex before 652 584) <(hex p.AVIprj 652 584) || fail "frame all changed a sound record"
  expect_status 2 "$cli" frame p.AVIprj 2 --duration 1
  grep -qF "frame 2 is a sound" err.txt || fail "frame on a sound: $(cat err.txt)"
  expect_status 0 "$cli" add p.AVIprj three.tga
  "$cli" info p.AVIprj | grep -qx "4	stretch	$work/three.tga" || fail "a sound named .tga became a sound"
  # Lossy files declare their priming and padding in their length, a cut file its whole length; the
  # next sound starts where the first one's decoded sound ends, as the render places it.
  for codec in libmp3lame:mp3 libopus:opus; do
    ffmpeg -v error -f lavfi -i "sine=duration=1" -c:a "${codec%:*}" -b:a 128k "lossy.${codec#*:}" || fail "ffmpeg $codec"
  done
  head -c 6000 lossy.mp3 >cut.mp3
  for first in lossy.mp3 lossy.opus cut.mp3; do
    "$cli" new q.AVIprj --force
    for item in "$first" one.wav a.bmp; do
      expect_status 0 "$cli" add q.AVIprj "$item"
    done
    # A whole lossy second is 48,000 samples; the cut file is shorter than it declares.
    json_holds q.AVIprj "(lambda s: (s == [(0, 1000), (48000, 2000)]) if '$first' != 'cut.mp3' else \
      (0 < s[0][1] < 800 and abs(s[1][0] - 48 * s[0][1]) <= 24))([(f['start_sample'], f['length_ms']) for f in d['frames'] if f.get('sound')])"
  done
  # At one frame in 136 years, 50 pictures put the sound 6,800 years in: still exact, no overflow.
  "$cli" new r.AVIprj
  "$cli" set r.AVIprj --fps 1/4294967295
  mapfile -t fifty < <(yes a.bmp | head -n 50)
  expect_status 0 "$cli" add r.AVIprj "${fifty[@]}" one.wav
  json_holds r.AVIprj '[(f["cue_frame"], f["start_sample"], f["start_seconds"]) for f in d["frames"] if f.get("sound")] == [(50, 10307921508000000, 214748364750)]'
  ;;

codecs_container)
  expect_status 0 "$cli" codecs
  cp out.txt plain.txt
  expect_status 0 "$cli" codecs --container avi
  cmp -s out.txt plain.txt || fail "--container avi differs from the plain list"
  grep -q '^DIB ' plain.txt || fail "no uncompressed in AVI"
  # Uncompressed frames go only into AVI; Matroska takes whatever MP4 and WebM take, and a depth
  # narrows a kind's list.
  while IFS='|' read -r name options wider; do
    # shellcheck disable=SC2086
    expect_status 0 "$cli" codecs $options
    cp out.txt "$name.txt"
    ! grep -q '^DIB ' out.txt || fail "codecs $options lists uncompressed: $(cat out.txt)"
    [ -z "$wider" ] || [ -z "$(comm -23 <(sort "$name.txt") <(sort "$wider.txt"))" ] ||
      fail "codecs $options lists what $wider does not: $(cat out.txt)"
  done <<'ROWS'
mkv|--container=mkv|
mp4|--container mp4|mkv
webm|--container webm|mkv
mp4-24|--container mp4 --depth 24|mp4
webm-1|--depth 1 --container webm|webm
ROWS
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" $arguments
    grep -qF -- "$message" err.txt || fail "'$arguments': $(head -n 1 err.txt)"
  done <<'ROWS'
codecs --container mov|--container must be avi, mp4, mkv or webm, not 'mov'
codecs --container MP4|--container must be avi, mp4, mkv or webm, not 'MP4'
codecs --container|--container needs a value
ROWS
  expect_status 0 "$cli" --help
  grep -qF -- "codecs [--depth BITS] [--container avi|mp4|mkv|webm]" out.txt || fail "--help lacks --container"
  ;;

render_defaults)
  pictures first.bmp:64x48:102030 second.bmp:32x16:405060
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj first.bmp second.bmp
  cp p.AVIprj before
  expect_status 0 "$cli" render p.AVIprj --quiet
  [ -s err.txt ] && fail "--quiet still wrote: $(cat err.txt)"
  cmp -s p.AVIprj before || fail "render changed the project"
  [ "$(probe p.avi width),$(probe p.avi height)" = "64,48" ] || fail "size not taken from the first picture"
  [ "$(probe p.avi nb_read_frames)" = 2 ] || fail "frame count"
  [ "$(probe p.avi r_frame_rate)" = 8/1 ] || fail "rate"
  expect_status 0 "$cli" render p.AVIprj --output other.avi
  expect_line out.txt "$work/other.avi"
  [ "$(probe other.avi nb_read_frames)" = 2 ] || fail "--output"
  expect_status 0 "$cli" render p.AVIprj -q -c mjpg -o short.avi
  [ -s out.txt ] || [ -s err.txt ] && fail "-q still wrote: $(cat out.txt err.txt)"
  [ "$(probe short.avi codec_name)" = mjpeg ] || fail "-c and -o"
  ;;

render_on_error)
  pictures good.bmp:16x8:ff8000 bad.bmp:16x8:000000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj good.bmp
  "$cli" add p.AVIprj bad.bmp
  "$cli" add p.AVIprj good.bmp
  # Spoilt after it was added: add refuses what is not a picture.
  printf 'not a picture' >bad.bmp
  expect_status 0 "$cli" render p.AVIprj
  expect_line err.txt "kinetar-cli: Unknown file format $work/bad.bmp"
  [ "$(probe p.avi nb_frames),$(probe p.avi nb_read_frames)" = "3,2" ] || fail "skip keeps the gap"
  expect_status 4 "$cli" render p.AVIprj --on-error stop
  expect_line err.txt "kinetar-cli: Unknown file format $work/bad.bmp"
  [ "$(probe p.avi nb_read_frames)" = 1 ] || fail "stop keeps the frames before"
  # Stopped before its first frame, a run leaves the video there as it was.
  cp p.avi before.avi
  "$cli" remove p.AVIprj 0 && "$cli" set p.AVIprj --size 16x8
  expect_status 4 "$cli" render p.AVIprj --on-error stop
  expect_line err.txt "kinetar-cli: stopped before the first frame; $work/p.avi was left as it was"
  [ ! -s out.txt ] && cmp -s p.avi before.avi || fail "a run stopped before its first frame replaced the video"
  expect_status 2 "$cli" render p.AVIprj --on-error maybe
  # A hundred unreadable files are named one by one; the rest are left to the summary.
  "$cli" new many.AVIprj
  "$cli" set many.AVIprj --size 16x8
  for i in $(seq 130); do cp good.bmp "m$i.bmp"; done
  "$cli" add many.AVIprj --sort name m*.bmp
  rm m*.bmp
  expect_status 0 "$cli" render many.AVIprj --quiet
  [ "$(grep -c "^kinetar-cli: Can't open file" err.txt)" = 100 ] || fail "$(grep -c . err.txt) lines for 130 unreadable"
  grep -qx "kinetar-cli: more files cannot be read; the summary at the end counts them" err.txt || fail "no word of the rest"
  tail -n 1 err.txt | grep -q "^kinetar-cli: 130 pictures could not be read and were left empty: .* and 125 more$" ||
    fail "summary: $(tail -n 1 err.txt)"
  ;;

render_codec)
  expect_status 0 "$cli" codecs
  [ "$(head -n 1 out.txt)" = "$(printf 'DIB \tFull Frames (Uncompressed)')" ] || fail "codecs: $(cat out.txt)"
  grep -q "^mrle$(printf '\t')" out.txt || fail "no run-length compressor: $(cat out.txt)"
  [ "$(cut -f 1 out.txt | sort | uniq -d)" = "" ] || fail "a fourcc listed twice: $(cat out.txt)"
  expect_status 0 "$cli" codecs --depth 1
  grep -q '^DIB ' out.txt || fail "uncompressed takes 1 bit"
  ! grep -q '^mrle' out.txt || fail "run-length offered at 1 bit"
  ! grep -q '^MJPG' out.txt || fail "Motion JPEG offered at 1 bit"
  pictures a.bmp:8x8:00ff00
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  for codec in DIB dib "DIB " Dib; do
    expect_status 0 "$cli" render p.AVIprj --codec "$codec" --quiet
    [ "$(probe p.avi codec_name)" = rawvideo ] || fail "codec $codec"
  done
  expect_status 2 "$cli" render p.AVIprj --codec XYZW
  grep -q "unknown compressor" err.txt || fail "no message for an unknown codec"
  expect_status 0 "$cli" render p.AVIprj --codec mjpg --quality 80 --quiet
  [ "$(probe p.avi codec_name)" = mjpeg ] || fail "codec MJPG"
  "$cli" set p.AVIprj --depth 1
  expect_status 6 "$cli" render p.AVIprj --codec MJPG --quiet
  expect_line err.txt "kinetar-cli: Selected video codec can't use selected format of AVI: Motion JPEG takes only 24-bit frames"
  expect_status 2 "$cli" render p.AVIprj --quality 101
  ;;

render_full_disk)
  pictures a.bmp:320x240:336699
  "$cli" new p.AVIprj
  for i in 1 2 3 4 5 6 7 8 9 10; do "$cli" add p.AVIprj a.bmp; done
  # A 600 KiB file size limit (SIGXFSZ ignored) stands for a full disk: 230400 bytes a frame.
  ( ulimit -f 600; trap '' XFSZ; exec "$cli" render p.AVIprj ) >out.txt 2>err.txt
  status=$?
  [ "$status" -eq 7 ] || fail "exit $status, expected 7: $(cat err.txt)"
  grep -q "Can't write to drive. Please check free space." err.txt || fail "no message: $(cat err.txt)"
  [ "$(probe p.avi nb_read_frames)" = 2 ] || fail "the file left is not read as 2 whole frames"
  # Full before the first frame: the video there stays.
  cp p.avi before.avi
  ( ulimit -f 1; trap '' XFSZ; exec "$cli" render p.AVIprj ) >out.txt 2>err.txt
  status=$?
  [ "$status" -eq 7 ] || fail "exit $status, expected 7: $(cat err.txt)"
  expect_line err.txt "kinetar-cli: Can't write to drive. Please check free space. and try it again. (File too large); $work/p.avi was left as it was"
  cmp -s p.avi before.avi || fail "a run that wrote no frame replaced the video"
  ;;

render_unwritable)
  pictures a.bmp:8x8:00ff00
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  mkfifo fifo.avi
  # The destination and the system's reason; what is not a regular file is left as it is.
  while IFS='|' read -r destination reason; do
    expect_status 2 "$cli" render p.AVIprj --output "$destination"
    expect_line err.txt "kinetar-cli: Can't open AVI file. $destination$reason"
  done <<ROWS
$work/no/such/folder/x.avi|: No such file or directory
$work| is not a regular file (a folder)
$work/fifo.avi| is not a regular file (a FIFO)
ROWS
  [ -p fifo.avi ] || fail "the FIFO was replaced"
  ;;

render_interrupt)
  /usr/bin/python3 -c 'from PIL import Image; Image.new("RGB", (1280, 720), (1, 2, 3)).save("a.bmp")'
  "$cli" new p.AVIprj
  for i in $(seq 1 300); do echo a.bmp; done | xargs "$cli" add p.AVIprj
  # Ctrl-C, a SIGTERM and a hang-up all end a run alike.
  for signal in INT TERM HUP; do
    rm -f p.avi
    "$cli" render p.AVIprj >out.txt 2>err.txt &
    pid=$!
    # The signal once the run is inside its frame loop: its temporary file has grown past a few frames.
    for _ in $(seq 1 200); do
      temporary=$(ls -A | grep '^\.p\.avi\.' | head -n 1)
      [ -n "$temporary" ] && [ "$(stat -c %s "$temporary" 2>/dev/null || echo 0)" -gt 10000000 ] && break
      sleep 0.05
    done
    kill -"$signal" "$pid"
    wait "$pid"
    status=$?
    [ "$status" -eq 4 ] || fail "SIG$signal: exit $status, expected 4: $(cat err.txt)"
    frames=$(probe p.avi nb_read_frames)
    [ "$frames" -ge 3 ] && [ "$frames" -lt 300 ] || fail "$frames frames after SIG$signal"
    [ "$(probe p.avi nb_frames)" = "$frames" ] || fail "SIG$signal: the header does not count the frames written"
    [ -z "$(ls -A | grep '^\.p\.avi\.')" ] || fail "SIG$signal left a temporary file: $(ls -A)"
  done
  ;;

render_stop_in_decoding)
  # Pictures whose decoding is one library call of a second or more (12000x12000, flat, in 38
  # bytes), decoded one at a time: a stop while the second is decoded is heard within the call,
  # so its frame is never made, where the run used to stop once the call had ended and the frame
  # was written.
  /usr/bin/python3 -c 'import sys; open("huge.webp", "wb").write(bytes.fromhex(sys.argv[1]))' \
    524946461e000000574542505650384c110000002fdfeeb71b0750ada214b9c88188e87f0000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj huge.webp huge.webp huge.webp
  "$cli" set p.AVIprj --size 320x240 >/dev/null
  "$cli" render p.AVIprj --progress json >progress.txt 2>err.txt &
  pid=$!
  for _ in $(seq 1 3000); do
    grep -q '"frame": 1,' progress.txt && break
    sleep 0.01
  done
  grep -q '"frame": 1,' progress.txt || fail "no first frame: $(cat progress.txt err.txt)"
  sleep 0.3
  asked=$EPOCHREALTIME
  kill -INT "$pid"
  wait "$pid"
  status=$?
  took=$(awk -v from="$asked" -v to="$EPOCHREALTIME" 'BEGIN { printf "%.2f", to - from }')
  [ "$status" -eq 4 ] || fail "exit $status, expected 4: $(cat err.txt)"
  [ "$(probe p.avi nb_read_frames)" = 1 ] || fail "$(probe p.avi nb_read_frames) frames, expected the first alone"
  awk -v took="$took" 'BEGIN { exit !(took < 1) }' || fail "the stop took $took s"
  ;;

render_invalid)
  pictures bad.bmp:2x2:000000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj bad.bmp
  # Spoilt after it was added: add refuses what is not a picture.
  printf 'x' >bad.bmp
  expect_status 8 "$cli" render p.AVIprj
  expect_line err.txt "kinetar-cli: The video takes its size from the first picture, which cannot be read (Unknown file format $work/bad.bmp); set a size with --size"
  [ -e p.avi ] && fail "a file was written"
  "$cli" new -f p.AVIprj
  expect_status 8 "$cli" render p.AVIprj
  grep -q "no picture to take it from" err.txt || fail "no message for a project without pictures: $(cat err.txt)"
  expect_status 8 "$cli" render missing.AVIprj
  grep -q "Can't read project file missing.AVIprj" err.txt || fail "no message: $(cat err.txt)"
  ;;

edit_commands)
  pictures a.bmp:2x2:ff0000 b.bmp:2x2:00ff00 c.bmp:2x2:0000ff d.bmp:2x2:ffffff
  "$cli" new base.AVIprj
  "$cli" add base.AVIprj a.bmp b.bmp c.bmp d.bmp
  # Each row starts from the same four frames: the command, then the frames left in order.
  while IFS='|' read -r arguments want; do
    cp base.AVIprj p.AVIprj
    # shellcheck disable=SC2086
    expect_status 0 "$cli" $arguments
    [ "$(frames_listed p.AVIprj | cut -d' ' -f2 | paste -sd' ')" = "$want" ] || fail "$arguments: $(frames_listed p.AVIprj)"
  done <<'ROWS'
remove p.AVIprj 1|a.bmp c.bmp d.bmp
remove p.AVIprj 3 0 3|b.bmp c.bmp
remove p.AVIprj 0 1 2 3|
move p.AVIprj 0 3|b.bmp c.bmp d.bmp a.bmp
move p.AVIprj 3 1|a.bmp d.bmp b.bmp c.bmp
move p.AVIprj 2 2|a.bmp b.bmp c.bmp d.bmp
ROWS
  # A picture moves with the caption in front of it and never lands between another and its caption.
  while IFS='|' read -r from to want; do
    cp base.AVIprj p.AVIprj
    "$cli" caption p.AVIprj 1 'on b'
    expect_status 0 "$cli" move p.AVIprj "$from" "$to"
    got=$("$cli" info p.AVIprj | awk -F'\t' '$1 ~ /^[0-9]+$/ { if ($2 == "caption") printf "[%s] ", $3; else { n = split($3, p, "/"); printf "%s ", p[n] } }')
    [ "$got" = "$want " ] || fail "move $from $to: $got"
  done <<'ROWS'
2|4|a.bmp c.bmp d.bmp [on b] b.bmp
2|0|[on b] b.bmp a.bmp c.bmp d.bmp
0|1|[on b] b.bmp a.bmp c.bmp d.bmp
4|1|a.bmp d.bmp [on b] b.bmp c.bmp
1|4|a.bmp b.bmp c.bmp d.bmp [on b]
ROWS
  # The records left are the same bytes, and the header stays.
  cp base.AVIprj p.AVIprj
  "$cli" remove p.AVIprj 0
  [ "$(hex p.AVIprj 0 2000)" = "$(hex base.AVIprj 0 360)$(hex base.AVIprj 652 876)" ] || fail "remove changed other bytes"
  cp base.AVIprj p.AVIprj
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
  done <<'ROWS'
remove p.AVIprj 4|there is no frame 4: the project has 4 frames, numbered from 0
remove p.AVIprj 0 9|there is no frame 9: the project has 4 frames, numbered from 0
remove p.AVIprj 99999999999999999999|there is no frame 99999999999999999999: the project has 4 frames, numbered from 0
remove p.AVIprj x|a frame index is a whole number from 0, not 'x'
remove p.AVIprj|a project file and at least one frame index are needed
move p.AVIprj 0 4|there is no frame 4: the project has 4 frames, numbered from 0
move p.AVIprj -1 2|a frame index is a whole number from 0, not '-1'
move p.AVIprj 1|a project file and two frame indexes, FROM and TO, are needed
ROWS
  cmp -s p.AVIprj base.AVIprj || fail "a refused command changed the project"
  ;;

set_codec)
  pictures a.bmp:8x8:00ff00
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  # The compressor record as the window's chooser stores it (bytes 274-337): size 64, flags 1,
  # "vidc", then the fourcc (290) and the quality in hundredths of a percent (322). Each row goes on
  # from the one before; choosing the same compressor again keeps its quality.
  while IFS='|' read -r options want; do
    # shellcheck disable=SC2086
    expect_status 0 "$cli" set p.AVIprj $options
    [ "$(hex p.AVIprj 274 16)" = 40000000010000000000000076696463 ] || fail "set $options: $(hex p.AVIprj 274 64)"
    [ "$(hex p.AVIprj 290 4)$(hex p.AVIprj 322 4)" = "$want" ] || fail "set $options: $(hex p.AVIprj 274 64)"
  done <<'ROWS'
--codec mjpg|4d4a5047ffffffff
--quality 80|4d4a5047401f0000
-c MJPG|4d4a5047401f0000
--quality default|4d4a5047ffffffff
--codec Mjpg --quality 1|4d4a504764000000
--codec dib|44494220ffffffff
--codec MJPG --quality 80|4d4a5047401f0000
ROWS
  json_holds p.AVIprj 'd["compressor"] == "MJPG" and d["quality"] == 80'
  expect_status 0 "$cli" render p.AVIprj -q
  [ "$(probe p.avi codec_name)" = mjpeg ] || fail "render does not start from the stored compressor"
  "$cli" new q.AVIprj
  cp p.AVIprj before
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" set $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
  done <<'ROWS'
p.AVIprj --codec XYZW|unknown compressor 'XYZW' (kinetar-cli codecs lists them)
p.AVIprj --codec MJPEG|unknown compressor 'MJPEG' (kinetar-cli codecs lists them)
p.AVIprj --quality 101|--quality must be a whole number from 1 to 100 or default, not '101'
p.AVIprj --quality 0|--quality must be a whole number from 1 to 100 or default, not '0'
p.AVIprj -c mjpg --quality high|--quality must be a whole number from 1 to 100 or default, not 'high'
p.AVIprj --codec dib --quality 50|the compressor 'DIB ' has no quality setting
p.AVIprj --depth 1 --codec mjpg|the compressor 'MJPG' does not take 1-bit frames (kinetar-cli codecs --depth 1 lists those that do)
q.AVIprj --quality 50|--quality needs a compressor: give --codec FOURCC
ROWS
  cmp -s p.AVIprj before || fail "a refused set changed the project"
  ;;

add_from)
  pictures f1.bmp:2x2:ff0000
  # 3,000 pictures listed last first; --sort end puts them in order over the whole list.
  /usr/bin/python3 -c 'import os
for i in range(2, 3001): os.link("f1.bmp", f"f{i}.bmp")
open("many.txt", "w").write("".join(f"f{i}.bmp\n" for i in range(3000, 0, -1)))'
  "$cli" new p.AVIprj
  expect_status 0 "$cli" add p.AVIprj --sort end --from many.txt
  [ "$(frames_listed p.AVIprj | cut -d' ' -f2 | paste -sd' ')" = "$(seq -f 'f%g.bmp' 1 3000 | paste -sd' ')" ] ||
    fail "3,000 listed pictures out of order: $(frames_listed p.AVIprj | head -n 5)"
  # A list file (a blank line, a Windows line end) and the command line sort together; - reads
  # standard input.
  printf 'f12.bmp\nf3.bmp\n\nf10.bmp\r\n' >list.txt
  "$cli" new -f p.AVIprj
  expect_status 0 "$cli" add p.AVIprj --sort end --from list.txt f5.bmp
  printf 'f7.bmp\nf1.bmp\n' | expect_status 0 "$cli" add p.AVIprj --from - --sort end
  [ "$(frames_listed p.AVIprj | cut -d' ' -f2 | paste -sd' ')" = "f3.bmp f5.bmp f10.bmp f12.bmp f1.bmp f7.bmp" ] ||
    fail "list order: $(frames_listed p.AVIprj)"
  cp p.AVIprj before
  printf 'f1.bmp\nnope.bmp\n' >bad.txt
  while IFS='|' read -r status arguments message; do
    # shellcheck disable=SC2086
    expect_status "$status" "$cli" add p.AVIprj $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
  done <<ROWS
1|--from missing.txt|Can't read the list of pictures missing.txt: No such file or directory; nothing was added
1|--from bad.txt|No such picture file; nothing was added: $work/nope.bmp
2|--from|--from needs a value
ROWS
  cmp -s p.AVIprj before || fail "a refused add changed the project"
  ;;

not_regular)
  pictures a.bmp:2x2:ff0000
  mkfifo fifo.AVIprj fifo.bmp
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  cp p.AVIprj before
  # Answered at once, naming the file and what it is.
  while IFS='|' read -r status arguments message; do
    # shellcheck disable=SC2086
    expect_status "$status" timeout 10 "$cli" $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
  done <<ROWS
1|info fifo.AVIprj|fifo.AVIprj is not a regular file (a FIFO)
1|new -f fifo.AVIprj|fifo.AVIprj is not a regular file (a FIFO)
1|set fifo.AVIprj --fps 3|fifo.AVIprj is not a regular file (a FIFO)
1|remove fifo.AVIprj 0|fifo.AVIprj is not a regular file (a FIFO)
8|render fifo.AVIprj|fifo.AVIprj is not a regular file (a FIFO)
1|info /dev/zero|/dev/zero is not a regular file (a device)
8|render /dev/zero|/dev/zero is not a regular file (a device)
1|add p.AVIprj fifo.bmp|$work/fifo.bmp is not a regular file (a FIFO); nothing was added
1|add p.AVIprj a.bmp /dev/zero|/dev/zero is not a regular file (a device); nothing was added
ROWS
  cmp -s p.AVIprj before || fail "a refused add changed the project"
  [ -p fifo.AVIprj ] || fail "new --force replaced a FIFO"
  # A picture that became a FIFO after it was added is skipped at once.
  pictures b.bmp:2x2:00ff00
  "$cli" add p.AVIprj b.bmp
  rm b.bmp && mkfifo b.bmp
  expect_status 0 timeout 10 "$cli" render p.AVIprj --quiet
  expect_line err.txt "kinetar-cli: $work/b.bmp is not a regular file"
  # Any file opens as a project, with a warning when it does not look like one.
  head -c 400 /dev/zero >odd.AVIprj
  expect_status 0 "$cli" info odd.AVIprj
  expect_line err.txt "kinetar-cli: warning: odd.AVIprj does not look like a project: its size is not 360 + 292 × N bytes"
  ;;

picture_messages)
  /usr/bin/python3 - <<'PY'
from PIL import Image
picture = Image.new("RGB", (8, 8), (255, 128, 0))
for kind in ("bmp", "tga", "gif", "pcx"):
    picture.save(f"whole.{kind}")
PY
  # Each cut inside its pixels, among whole ones; its line names the file wherever the reader's
  # text leaves it out, also when two files fail alike.
  head -c 40 whole.tga >2cut.tga
  head -c 100 whole.bmp >4cut.bmp
  head -c 40 whole.gif >5cut.gif
  cp 2cut.tga 7cut.tga
  for item in 1:bmp 3:tga 6:pcx; do cp "whole.${item#*:}" "${item%:*}whole.${item#*:}"; done
  "$cli" new p.AVIprj
  "$cli" set p.AVIprj --size 8x8
  "$cli" add p.AVIprj --sort start ./*cut.* [0-9]whole.*
  # Once with a report a picture, once with several (half a second, each frame compressed).
  for codec in dib xvid; do
    [ "$codec" = dib ] || "$cli" frame p.AVIprj all --duration 0.5
    expect_status 0 "$cli" render p.AVIprj --quiet --codec $codec
    [ "$(cat err.txt)" = "kinetar-cli: $work/2cut.tga: Read TGA error
kinetar-cli: Reading pixels FAILED $work/4cut.bmp
kinetar-cli: $work/5cut.gif: Read GIF error
kinetar-cli: $work/7cut.tga: Read TGA error
kinetar-cli: 4 pictures could not be read and were left empty: $work/2cut.tga, $work/4cut.bmp, $work/5cut.gif, $work/7cut.tga" ] ||
      fail "$codec: $(cat err.txt)"
  done
  # Paths the system refuses get a message of ours.
  ln -s loop loop
  while IFS='|' read -r status arguments message; do
    # shellcheck disable=SC2086
    expect_status "$status" "$cli" $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
  done <<ROWS
2|set p.AVIprj --output $work|--output names a folder, not a video file: $work
1|add p.AVIprj loop/a.bmp|$work/loop/a.bmp: Too many levels of symbolic links
ROWS
  for arguments in "set p.AVIprj --output" "render p.AVIprj --output" "info" "new --force" "render"; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" $arguments ""
    [ "$(head -n 1 err.txt)" = "kinetar-cli: a file name cannot be empty" ] || fail "$arguments '': $(cat err.txt)"
  done
  ;;

command_help)
  commands="new set add frame remove move info codecs render"
  expect_status 0 "$cli" --help
  cp out.txt full.txt
  for command in $commands; do
    grep -q "kinetar-cli $command " full.txt || fail "--help lacks $command"
  done
  grep -qF "kinetar-cli COMMAND --help" full.txt || fail "--help does not tell of COMMAND --help"
  # Each command's help is its usage alone and its own lines, whichever way it is asked for.
  for command in $commands; do
    expect_status 0 "$cli" "$command" --help
    cp out.txt "$command.txt"
    [ "$(head -n 1 "$command.txt" | cut -d' ' -f1-3)" = "Usage: kinetar-cli $command" ] ||
      fail "$command --help starts: $(head -n 1 "$command.txt")"
    grep -q "^  $command " "$command.txt" || fail "$command --help does not say what it does"
    for other in $commands; do
      [ "$other" = "$command" ] || ! grep -q "kinetar-cli $other " "$command.txt" || fail "$command --help shows $other"
    done
    expect_status 0 "$cli" "$command" p.AVIprj -h
    cmp -s out.txt "$command.txt" || fail "$command -h differs from $command --help"
  done
  grep -qF -- "--progress json" render.txt || fail "render --help lacks --progress json"
  grep -qF "9 internal error" render.txt || fail "render --help lacks exit status 9"
  grep -qF "A fit MODE is" add.txt || fail "add --help does not explain MODE"
  # After "--" it is a file's name; an unknown command is not helped.
  "$cli" new p.AVIprj
  expect_status 1 "$cli" add p.AVIprj -- -h
  expect_line err.txt "kinetar-cli: No such picture file; nothing was added: $work/-h"
  expect_status 2 "$cli" frobnicate --help
  [ "$(head -n 1 err.txt)" = "kinetar-cli: unknown command frobnicate" ] || fail "frobnicate --help: $(cat err.txt)"
  ;;

did_you_mean)
  pictures a.bmp:2x2:ff0000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  cp p.AVIprj before
  # The nearest option of that command or the nearest command, only when it is a slip of the keys.
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" $arguments
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(head -n 1 err.txt)"
    # A known command's slip shows that command's usage alone; an unknown command, every usage.
    command=${arguments%% *}
    if grep -q '^unknown command' <<<"$message"; then
      grep -q '^Usage: kinetar-cli new' err.txt || fail "'$arguments' shows no usage"
    else
      [ "$(sed -n 2p err.txt | cut -d' ' -f1-3)" = "Usage: kinetar-cli $command" ] ||
        fail "'$arguments' shows the usage of $(sed -n 2p err.txt)"
      grep -q "^'kinetar-cli $command --help' tells more.$" err.txt || fail "'$arguments' names no help"
      [ "$(grep -c '^ *kinetar-cli ' err.txt)" -le 2 ] || fail "'$arguments' shows other commands' usage"
    fi
  done <<'ROWS'
add p.AVIprj --duraton 3 a.bmp|unknown option --duraton; did you mean --duration?
add p.AVIprj --crosfade=1 a.bmp|unknown option --crosfade=1; did you mean --crossfade?
add p.AVIprj -fit crop a.bmp|unknown option -fit; did you mean --fit?
add p.AVIprj --no-strech a.bmp|unknown option --no-strech; did you mean --no-stretch?
set p.AVIprj --FPS 3|unknown option --FPS; did you mean --fps?
set p.AVIprj --sise 4x4|unknown option --sise; did you mean --size?
info p.AVIprj --jsno|unknown option --jsno; did you mean --json?
render p.AVIprj --qiuet|unknown option --qiuet; did you mean --quiet?
render p.AVIprj --on-eror stop|unknown option --on-eror; did you mean --on-error?
codecs --contianer mp4|unknown option --contianer; did you mean --container?
new q.AVIprj --forse|unknown option --forse; did you mean --force?
frame p.AVIprj 0 --hlep|unknown option --hlep; did you mean --help?
render p.AVIprj --bogus|unknown option --bogus
info p.AVIprj --duration|unknown option --duration
set p.AVIprj --sizes-and-more 4x4|unknown option --sizes-and-more
rendr p.AVIprj|unknown command rendr; did you mean render?
ad p.AVIprj a.bmp|unknown command ad; did you mean add?
INFO p.AVIprj|unknown command INFO; did you mean info?
--verison|unknown command --verison; did you mean --version?
frobnicate p.AVIprj|unknown command frobnicate
rename p.AVIprj|unknown command rename
ROWS
  cmp -s p.AVIprj before || fail "a refused command changed the project"
  [ -e q.AVIprj ] && fail "new made a project despite a bad option"
  true
  ;;

terminal_render)
  # render as people run it: on a terminal (a pseudo-terminal under script), with pictures held for
  # seconds and crossfaded, in every kind of file. The bar counts video frames and ends at 100 %.
  /usr/bin/python3 - <<'PY'
from PIL import Image
for i, colour in enumerate([(255, 0, 0), (0, 255, 0), (0, 0, 255)]):
    Image.new("RGB", (640, 480), colour).save(f"p{i}.jpg", quality=90)
PY
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj --fit letterbox --duration 3 --crossfade 0.5 p0.jpg p1.jpg p2.jpg
  "$cli" set p.AVIprj --size 320x240 --fps 29.97
  while IFS='|' read -r codec file; do
    # An earlier video of a different length, which a good run replaces.
    printf 'earlier' >"$file"
    script -q -e -c "'$cli' render p.AVIprj --codec $codec --output '$file'" terminal.txt >/dev/null 2>&1 </dev/null
    status=$?
    [ "$status" -eq 0 ] || fail "$codec $file: exit $status on a terminal: $(tr '\r' '\n' <terminal.txt)"
    tr '\r' '\n' <terminal.txt | sed 's/\x1b\[K//g' >lines.txt
    grep -q '^100% \[####################\] frame 270 of 270, [0-9.]* fps, 0:00 left$' lines.txt ||
      fail "$codec $file: the bar does not end at frame 270 of 270: $(cat lines.txt)"
    awk '/ frame [0-9]+ of / { split($0, a, " frame "); split(a[2], b, " "); if (b[1] + 0 > 270) bad = 1 } END { exit bad }' lines.txt ||
      fail "$codec $file: a frame past the end: $(cat lines.txt)"
    [ "$(probe "$file" nb_read_frames)" = 270 ] || fail "$codec $file: $(probe "$file" nb_read_frames) frames, not 270"
    grep -qx "$work/$file" lines.txt || fail "$codec $file: the video's name is not on the last line"
  done <<'ROWS'
DIB|show.avi
MJPG|show-mjpg.avi
H264|show.mp4
H264|show.mkv
ROWS
  # A picture that cannot be read: its line, the bar going on, and the summary at the end.
  cp p1.jpg gone.jpg
  "$cli" add p.AVIprj --duration 1 gone.jpg
  rm gone.jpg
  script -q -e -c "'$cli' render p.AVIprj --codec MJPG --output skip.avi" terminal.txt >/dev/null 2>&1 </dev/null ||
    fail "a skipped picture failed the run: $(tr '\r' '\n' <terminal.txt)"
  tr '\r' '\n' <terminal.txt | sed 's/\x1b\[K//g' >lines.txt
  expect_line lines.txt "kinetar-cli: Can't open file $work/gone.jpg"
  expect_line lines.txt "kinetar-cli: 1 picture could not be read and was left empty: $work/gone.jpg"
  ;;

progress_json)
  pictures a.bmp:64x48:336699 b.bmp:64x48:996633
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj --duration 2 --crossfade 1 a.bmp b.bmp missing.bmp 2>/dev/null && fail "a missing picture was added"
  "$cli" add p.AVIprj --duration 2 --crossfade 1 a.bmp b.bmp gone.bmp 2>/dev/null && fail "added"
  cp b.bmp gone.bmp
  "$cli" add p.AVIprj --duration 2 --crossfade 1 a.bmp b.bmp gone.bmp
  rm gone.bmp
  "$cli" set p.AVIprj --fps 25 --output v.mkv
  expect_status 0 "$cli" render p.AVIprj --progress json
  /usr/bin/python3 - "$work" <<'PY' || fail "the JSON lines: $(cat out.txt)"
import json, sys
lines = [json.loads(line) for line in open("out.txt")]
progress, end = lines[:-1], lines[-1]
assert progress, "no progress line"
frames = [line["frame"] for line in progress]
assert frames == sorted(frames) and frames[-1] == 150, frames
assert all(line["total_frames"] == 150 for line in progress)
assert end["outcome"] == "done" and end["result"] == 0, end
assert end["output"] == sys.argv[1] + "/v.mkv" and end["frames_written"] == 100, end
assert end["skipped"] == [sys.argv[1] + "/gone.bmp"], end
PY
  [ "$(probe v.mkv nb_read_frames)" = 100 ] || fail "v.mkv does not hold the 100 frames of the pictures read"
  expect_status 2 "$cli" render p.AVIprj --progress bar
  ;;

render_refusals)
  pictures a.bmp:16x16:336699
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  # Names of other kinds of file, given or stored, are refused before anything is written.
  expect_status 2 "$cli" render p.AVIprj --output show.gif
  [ "$(head -n 1 err.txt)" = "kinetar-cli: $work/show.gif names a GIF picture, not a video; Kinetar writes .avi, .mp4 (.m4v, .mov), .mkv or .webm" ] ||
    fail "$(cat err.txt)"
  [ -e show.gif ] && fail "show.gif was written"
  # A size the codec library cannot decode would make a video nothing plays.
  expect_status 2 "$cli" set p.AVIprj --size 20000x20000
  grep -q "is larger than video players can show" err.txt || fail "$(cat err.txt)"
  # A replaced video keeps its mode.
  "$cli" render p.AVIprj --output kept.avi --quiet
  chmod 640 kept.avi
  expect_status 0 "$cli" render p.AVIprj --output kept.avi --quiet
  [ "$(stat -c %a kept.avi)" = 640 ] || fail "the video's mode became $(stat -c %a kept.avi)"
  # "video file" where the destination is not an AVI file.
  mkdir -p locked && chmod 555 locked
  if [ "$(id -u)" -ne 0 ]; then
    expect_status 2 "$cli" render p.AVIprj --output locked/v.mp4
    expect_line err.txt "kinetar-cli: Can't open video file. $work/locked/v.mp4: Permission denied"
  fi
  # A link another user planted in a shared sticky folder is refused; the file it names stays.
  if [ "$(id -u)" -eq 0 ]; then
    mkdir shared && chmod 1777 shared
    printf 'precious' >target.txt
    ln -s "$work/target.txt" shared/out.avi
    chown -h 65534:65534 shared/out.avi
    expect_status 2 "$cli" render p.AVIprj --output shared/out.avi
    grep -q "shared/out.avi is a symbolic link" err.txt || fail "the refused link is not named: $(cat err.txt)"
    [ "$(cat target.txt)" = precious ] || fail "the link's target was overwritten"
    [ -L shared/out.avi ] || fail "the link was replaced"
    [ "$(ls -A shared | wc -l)" = 1 ] || fail "something was left in the shared folder: $(ls -A shared)"
    # The same link, ours: followed as before.
    chown -h 0:0 shared/out.avi
    expect_status 0 "$cli" render p.AVIprj --output shared/out.avi --quiet
    [ "$(probe target.txt nb_read_frames)" = 1 ] || fail "our own link was not followed"
  fi
  # An uncompressed video over 2 GB is named before it starts (a 600 KiB file limit stands for
  # the disk filling up, so nothing that large is written).
  "$cli" set p.AVIprj --size 1920x1080 --output big.avi
  "$cli" frame p.AVIprj all --duration 60
  ( ulimit -f 600; trap '' XFSZ; exec "$cli" render p.AVIprj --codec DIB ) >out.txt 2>err.txt
  grep -qx "kinetar-cli: the uncompressed video will take about 3.0 GB; --codec MJPG makes it many times smaller" err.txt ||
    fail "no size warning: $(cat err.txt)"
  ;;

truncated_pictures)
  # Photos cut short by another program while the render reads them: each is an ordinary read
  # error, never a crash.
  /usr/bin/python3 - <<'PY'
from PIL import Image
import random
random.seed(5)
for i in range(40):
    picture = Image.effect_noise((1600, 1200), 60).convert("RGB")
    picture.save(f"p{i:02}.jpg", quality=95)
PY
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj p*.jpg
  "$cli" set p.AVIprj --size 320x240 --output v.avi
  for i in $(seq 10 39); do cp "p$i.jpg" "whole$i.jpg"; done
  (
    round=0
    while [ ! -e stop ]; do
      round=$((round + 1))
      for i in $(seq 10 39); do
        truncate -s $(( $(stat -c %s "whole$i.jpg") / (round % 3 + 2) )) "p$i.jpg"
      done
      for i in $(seq 10 39); do cat "whole$i.jpg" >"p$i.jpg"; done
    done
  ) &
  cutter=$!
  # Three runs, each compressing as it reads (MJPG), so the reads meet the cuts often enough.
  for round in 1 2 3; do
    "$cli" render p.AVIprj --codec MJPG >out.txt 2>err.txt
    status=$?
    [ "$status" -eq 0 ] || { kill "$cutter"; fail "round $round: exit $status: $(cat err.txt)"; }
    ! grep -v "^kinetar-cli: .*p[0-9]*\.jpg\|could not be read" err.txt || { kill "$cutter"; fail "$(cat err.txt)"; }
  done
  touch stop
  wait "$cutter"
  ;;

render_messages)
  pictures a.bmp:8x8:336699
  # File names with control bytes and bytes that are not UTF-8 reach neither stream raw.
  name=$(printf 'p\033[31m\001\377.bmp')
  cp a.bmp "$name"
  "$cli" new p.AVIprj
  "$cli" set p.AVIprj --size 8x8
  "$cli" add p.AVIprj a.bmp "$name"
  rm "$name"
  expect_status 0 "$cli" render p.AVIprj --output "$(printf 'v\033]0;x\007.avi')"
  ! LC_ALL=C grep -q "$(printf '[\001\033\177\377]')" out.txt err.txt || fail "a raw control byte: $(od -c err.txt)"
  expect_line err.txt "kinetar-cli: Can't open file $work/p\\x1b[31m\\x01\\xff.bmp"
  expect_line out.txt "$work/v\\x1b]0;x\\x07.avi"
  # A stored compressor this build lacks is named, and refused as compressors are.
  "$cli" set p.AVIprj --output v.avi
  /usr/bin/python3 - <<'PY'
with open("p.AVIprj", "r+b") as project:
    project.seek(274)
    project.write(bytes([64, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]) + b"ZZZZ")
PY
  expect_status 6 "$cli" render p.AVIprj
  expect_line err.txt "kinetar-cli: the project asks for compressor ZZZZ, which this build does not have (kinetar-cli codecs lists those it has)"
  # No size, and a first picture without a name: the run could not start (8), not bad usage.
  "$cli" new --force p.AVIprj
  "$cli" add p.AVIprj a.bmp
  /usr/bin/python3 -c 'f = open("p.AVIprj", "r+b"); f.seek(361); f.write(bytes(260))'
  expect_status 8 "$cli" render p.AVIprj
  expect_line err.txt "kinetar-cli: The video takes its size from the first picture, which has no file name; set a size with --size"
  ;;

wrong_destination)
  "$cli" new p.AVIprj
  "$cli" set p.AVIprj --output keep.mp4
  cp p.AVIprj before
  while IFS='|' read -r name kind; do
    expect_status 2 "$cli" set p.AVIprj --output "$name"
    [ "$(head -n 1 err.txt)" = "kinetar-cli: $name names $kind, not a video; Kinetar writes .avi, .mp4 (.m4v, .mov), .mkv or .webm" ] ||
      fail "--output $name: $(head -n 1 err.txt)"
  done <<'ROWS'
show.gif|a GIF picture
show.PNG|a PNG picture
out/show.Jpeg|a JPEG picture
show.webp|a WebP picture
show.tiff|a TIFF picture
show.heic|a HEIC picture
show.mp4.jpg|a JPEG picture
song.mp3|an MP3 sound
song.wav|a WAV sound
song.opus|an Opus sound
notes.txt|a text file
other.AVIprj|a Kinetar project
ROWS
  cmp -s p.AVIprj before || fail "a refused destination changed the project"
  # A video's name, or a name that says nothing, is taken as today.
  for name in show.avi show.MP4 show.mov show.mkv show.webm show show.gif.avi show.video .gif; do
    expect_status 0 "$cli" set p.AVIprj --output "$name"
    "$cli" info p.AVIprj | grep -qxF "Destination: $work/$name" || fail "--output $name: $("$cli" info p.AVIprj)"
  done
  ;;

add_refuses)
  pictures a.bmp:4x4:ff0000 b.bmp:4x4:00ff00
  printf 'These are notes, not a photo.\n' >notes.jpg
  : >empty.png
  /usr/bin/python3 -c 'import random; random.seed(7); open("noise.bmp", "wb").write(bytes(1) + random.randbytes(3000))'
  printf 'RIFF\0\0\0\0WAVEnot really\n' >fake.mp3
  { printf '\n\3\1'; head -c 125 /dev/zero; } >old.pcx
  # A WAV whose header claims a rate no sound file holds: the render would leave it out.
  /usr/bin/python3 -c 'import struct; d = bytes(2000); open("slow.wav", "wb").write(b"RIFF" + struct.pack("<I", 36 + len(d)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 1, 2, 2, 16) + b"data" + struct.pack("<I", len(d)) + d)'
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp
  cp p.AVIprj before
  # Refused with its reason, named, whatever else is added with it; the project stays as it was.
  while IFS='|' read -r arguments message; do
    # shellcheck disable=SC2086
    expect_status 1 "$cli" add p.AVIprj $arguments
    [ "$(cat err.txt)" = "kinetar-cli: $message" ] || fail "add $arguments: $(cat err.txt)"
    cmp -s p.AVIprj before || fail "add $arguments changed the project"
  done <<ROWS
notes.jpg|$work/notes.jpg is not a picture or sound file Kinetar reads (it looks like text); nothing was added
b.bmp notes.jpg|$work/notes.jpg is not a picture or sound file Kinetar reads (it looks like text); nothing was added
empty.png|$work/empty.png is not a picture or sound file Kinetar reads (it is empty); nothing was added
noise.bmp|$work/noise.bmp is not a picture or sound file Kinetar reads (unknown content); nothing was added
fake.mp3|$work/fake.mp3 is not a picture or sound file Kinetar reads (unknown content); nothing was added
old.pcx|Format of PCX is old. Supported is only version 5.0: $work/old.pcx; nothing was added
slow.wav|Can't read sound file $work/slow.wav: its sample rate of 1 Hz is not one Kinetar plays (1000 to 768000 Hz); nothing was added
ROWS
  # What the readers recognise by its first bytes or a .tga name is taken, cut short or not; the
  # render is what reports a picture it cannot read.
  head -c 30 b.bmp >cut.bmp
  cp b.bmp picture.jpg
  cp notes.jpg named.tga
  ffmpeg -v error -f lavfi -i sine=duration=1 -f wav song.dat || fail "ffmpeg"
  expect_status 0 "$cli" add p.AVIprj cut.bmp picture.jpg named.tga song.dat
  [ "$(frames_listed p.AVIprj | tr '\n' ' ')" = "stretch a.bmp stretch cut.bmp stretch named.tga stretch picture.jpg sound song.dat " ] ||
    fail "accepted files: $(frames_listed p.AVIprj)"
  ;;

project_unreadable)
  pictures a.bmp:2x2:ff0000
  "$cli" new p.AVIprj
  : >empty.AVIprj
  head -c 100 p.AVIprj >short.AVIprj
  # "Can't read project file" and why, from every command that reads one.
  while IFS='|' read -r status arguments message; do
    # shellcheck disable=SC2086
    expect_status "$status" "$cli" $arguments
    [ "$(cat err.txt)" = "kinetar-cli: $message" ] || fail "'$arguments': $(cat err.txt)"
  done <<'ROWS'
1|info missing.AVIprj|Can't read project file missing.AVIprj: No such file or directory
1|info --json empty.AVIprj|Can't read project file empty.AVIprj: it is empty
1|set short.AVIprj --fps 3|Can't read project file short.AVIprj: it is 100 bytes long, shorter than the 360-byte header every project starts with
1|add missing.AVIprj a.bmp|Can't read project file missing.AVIprj: No such file or directory
1|remove empty.AVIprj 0|Can't read project file empty.AVIprj: it is empty
8|render short.AVIprj|Can't read project file short.AVIprj: it is 100 bytes long, shorter than the 360-byte header every project starts with
8|render nowhere/missing.AVIprj|Can't read project file nowhere/missing.AVIprj: No such file or directory
ROWS
  [ -e missing.AVIprj ] && fail "add made the missing project"
  [ "$(stat -c %s short.AVIprj)" = 100 ] || fail "set changed the short project"
  # A project the user may not read; root reads everything, so it is read as another user.
  cp p.AVIprj locked.AVIprj
  chmod 000 locked.AVIprj
  chmod 755 .
  as_other=()
  [ "$(id -u)" -ne 0 ] || as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  expect_status 1 "${as_other[@]}" "$cli" info locked.AVIprj
  expect_line err.txt "kinetar-cli: Can't read project file locked.AVIprj: Permission denied"
  ;;

large_file)
  # 1280x720 at 24 bits is 2764800 bytes a frame: 400 frames make about 1.03 GiB.
  /usr/bin/python3 - <<'PY'
from PIL import Image
for i in range(4):
    Image.new("RGB", (1280, 720), (i * 60, 255 - i * 60, 128)).save(f"big{i}.bmp")
PY
  "$cli" new p.AVIprj
  for i in $(seq 0 99); do echo big0.bmp big1.bmp big2.bmp big3.bmp; done | xargs "$cli" add p.AVIprj --sort name 2>err.txt ||
    fail "add: $(cat err.txt)"
  [ "$("$cli" info p.AVIprj | grep -c $'\t')" -eq 400 ] || fail "400 frames expected"
  expect_status 0 "$cli" render p.AVIprj --quiet
  size=$(stat -c %s p.avi)
  [ "$size" -gt 1073741824 ] || fail "the video is only $size bytes"
  [ "$(probe p.avi nb_read_frames)" = 400 ] || fail "ffprobe does not count all 400 frames"
  rm -f p.avi
  ;;

huge_project)
  # A project of a million empty records (292 MB, sparse) is read a record at a time: each command
  # runs within 400 MiB of address space, where holding the records took over twice the file.
  pictures a.bmp:2x2:ff0000
  "$cli" new p.AVIprj
  truncate -s $((360 + 292 * 1000000)) p.AVIprj
  head -c 360 p.AVIprj >header.bin
  # The address sanitizer reserves terabytes of shadow memory, so there the limit cannot apply.
  if [ -n "${KINETAR_SANITIZE:-}" ]; then limited() { "$@"; }; else limited() { (ulimit -v 409600 && "$@"); }; fi
  expect_status 0 limited "$cli" info p.AVIprj
  expect_line out.txt "Frames: 1000000"
  [ "$(tail -n 1 out.txt)" = $'999999\tno-stretch\t' ] || fail "info's last line: $(tail -n 1 out.txt)"
  expect_status 0 limited "$cli" add p.AVIprj a.bmp
  expect_status 0 limited "$cli" move p.AVIprj 1000000 3
  expect_status 0 limited "$cli" remove p.AVIprj 0 2 999999
  [ "$(stat -c %s p.AVIprj)" = $((360 + 292 * 999998)) ] || fail "size after remove: $(stat -c %s p.AVIprj)"
  cmp -s -n 360 p.AVIprj header.bin || fail "the header changed"
  # The picture, moved to 3, is at 1 once 0 and 2 are gone; every other record is still empty.
  expect_status 0 limited "$cli" frame p.AVIprj all --duration 1
  expect_status 0 limited "$cli" info --json p.AVIprj
  grep -qF "{\"index\": 1, \"path\": \"$PWD/a.bmp\", \"stretch\": true" out.txt || fail "frame 1 is not a.bmp"
  expect_line out.txt "  \"total_frames\": $((8 * 999998)),"
  [ "$(grep -c '"path": "", .*"duration_ms": 1000,' out.txt)" = 999997 ] || fail "the empty records are not all there"
  # render walks the records block by block and counts, not keeps, the pictures it leaves out;
  # a million frames take a while, so it is stopped after a few seconds of work.
  "$cli" set p.AVIprj --size 16x16 --output "$PWD/p.avi" >/dev/null
  expect_status 4 limited timeout --preserve-status -s TERM 3 "$cli" render p.AVIprj --quiet
  ;;

slideshow_defaults)
  # New slideshow's header, pictures added with its defaults (options winning), set --default-*,
  # and fit-music ending the rendered video on its song's last frame.
  pictures a.bmp:64x48:ff0000 b.bmp:48x64:00ff00 c.bmp:64x64:0000ff
  ffmpeg -v error -f lavfi -i sine=f=330:d=7.3 -c:a flac song.flac
  expect_status 0 "$cli" new s.AVIprj --slideshow --fps 30
  [ "$(hex s.AVIprj 0 8)" = 8007000038040000 ] || fail "slideshow size $(hex s.AVIprj 0 8)"
  [ "$(hex s.AVIprj 347 13)" = b80b000004f401000002000000 ] || fail "slideshow defaults $(hex s.AVIprj 347 13)"
  json_holds s.AVIprj 'd["fps"] == "30" and d["destination"] == "'"$PWD"'/s.mp4"' \
    'd["picture_defaults"] == {"duration": "3", "fit": "blur", "crossfade": "0.5", "motion": "auto"}'
  "$cli" add s.AVIprj song.flac
  "$cli" add s.AVIprj a.bmp
  "$cli" add s.AVIprj --fit crop --duration 2 --motion none b.bmp
  "$cli" info s.AVIprj >info.txt
  expect_line info.txt "Added pictures: 3 s, blur, crossfade 0.5 s, motion auto"
  expect_line info.txt $'0\tsound\t'"$PWD"/song.flac
  expect_line info.txt $'1\tblur\t'"$PWD"$'/a.bmp\tduration 3 s\tcrossfade 0.5 s\tmotion auto'
  expect_line info.txt $'2\tcrop\t'"$PWD"$'/b.bmp\tduration 2 s\tcrossfade 0.5 s'
  expect_status 0 "$cli" set s.AVIprj --default-duration 0 --default-fit stretch --default-crossfade 0 --default-motion none
  [ "$(hex s.AVIprj 347 13)" = 00000000000000000000000000 ] || fail "defaults cleared $(hex s.AVIprj 347 13)"
  "$cli" add s.AVIprj c.bmp
  expect_line <("$cli" info s.AVIprj) $'3\tstretch\t'"$PWD"/c.bmp
  for bad in "--default-fit top-left" "--default-motion 0.5,0.5,1:0.5,0.5,2" "--default-duration -1"; do
    # shellcheck disable=SC2086
    expect_status 2 "$cli" set s.AVIprj $bad
  done
  expect_status 2 "$cli" new plain.AVIprj --size 720p
  # Plain New is what it always was.
  "$cli" new plain.AVIprj
  [ "$(hex plain.AVIprj 347 13)" = 00000000000000000000000000 ] || fail "plain new has defaults"
  # Three pictures to a 7.3 s song at 30 fps: 219 frames, the audio as long.
  expect_status 0 "$cli" fit-music s.AVIprj
  expect_line out.txt "The pictures now last 0:07.3 — 219 frames, as the music does."
  "$cli" set s.AVIprj --size 64x36 >/dev/null
  expect_status 0 "$cli" render s.AVIprj --quiet
  [ "$(probe s.mp4 nb_read_frames)" = 219 ] || fail "video frames $(probe s.mp4 nb_read_frames)"
  expect_status 0 "$cli" fit-music s.AVIprj --keep-ratios
  expect_line <("$cli" info s.AVIprj) "Length: 0:07.3 — 219 frames"
  "$cli" move s.AVIprj 0 3
  expect_status 1 "$cli" fit-music s.AVIprj
  grep -qF "never heard" err.txt || fail "music after the pictures: $(cat err.txt)"
  ;;

still_motion)
  # Moving pictures, a blurred fill and crossfades: a still of any frame equals that frame of a
  # lossless render, pixel for pixel; malformed motion is refused before anything changes.
  /usr/bin/python3 - <<'PY'
from PIL import Image, ImageDraw
for i, (w, h) in enumerate([(800, 600), (600, 900), (1024, 640)]):
    im = Image.new('RGB', (w, h), (20 * i, 90, 160))
    d = ImageDraw.Draw(im)
    for y in range(0, h, 14):
        d.rectangle([0, y, w, y + 6], fill=((y * 7) % 256, (y * 3 + 80 * i) % 256, 200 - y % 200))
    d.ellipse([w // 4, h // 4, 3 * w // 4, 3 * h // 4], fill=(250, 200, 10))
    im.save(f'p{i}.jpg', quality=92)
PY
  "$cli" new s.AVIprj
  "$cli" add s.AVIprj --fit crop --duration 1.2 --crossfade 0.4 --motion auto p0.jpg p2.jpg
  "$cli" add s.AVIprj --fit blur --duration 1 --crossfade 0.4 --motion 0.5,0.3,1:0.5,0.7,1.5 --easing smooth p1.jpg
  "$cli" set s.AVIprj --size 160x90 --fps 25 --output "$PWD/s.avi" >/dev/null
  expect_status 0 "$cli" info s.AVIprj
  expect_line out.txt $'2\tblur\t'"$PWD"$'/p1.jpg\tduration 1 s\tcrossfade 0.4 s\tmotion 0.5,0.3,1:0.5,0.7,1.5\teasing smooth'
  expect_status 0 "$cli" render s.AVIprj --codec DIB --quiet
  for frame in 0 20 33 40 62 70 84; do
    expect_status 0 "$cli" still s.AVIprj "#$frame" --output "still$frame.png"
    ffmpeg -v error -y -i s.avi -vf "select=eq(n\,$frame)" -frames:v 1 "video$frame.png"
    cmp -s <(/usr/bin/convert "still$frame.png" rgb:-) <(/usr/bin/convert "video$frame.png" rgb:-) ||
      fail "the still of frame $frame differs from the video's"
  done
  expect_status 0 "$cli" still s.AVIprj 1.6 --output time.png
  cmp -s <(/usr/bin/convert time.png rgb:-) <(/usr/bin/convert still40.png rgb:-) || fail "1.6 s is not frame 40"
  expect_status 0 "$cli" still s.AVIprj "#0" --size square --output square.png
  [ "$(/usr/bin/convert square.png -format '%wx%h' info:)" = 1080x1080 ] || fail "--size square"
  expect_status 1 "$cli" still s.AVIprj "#85" --output past.png
  grep -qF "The video has 85 frames; there is no frame 85" err.txt || fail "past the end: $(cat err.txt)"
  cp s.AVIprj before.AVIprj
  for motion in 0.5,0.5,0.9:0.5,0.5,1 0.5,0.5,1:0.5,0.5,11 1.5,0.5,1:0.5,0.5,1 0.5,0.5,1 sideways; do
    expect_status 2 "$cli" frame s.AVIprj all --motion "$motion"
  done
  expect_status 2 "$cli" frame s.AVIprj all --easing wobbly
  cmp -s s.AVIprj before.AVIprj || fail "a refused --motion changed the project"
  ;;

captions)
  # Captions and a title card among moving, crossfading pictures: a still of any frame equals that
  # frame of a lossless render, pixel for pixel; removing every caption gives back the project's
  # exact bytes; an OCR reader (when installed) reads a caption back from a 720p still.
  /usr/bin/python3 - <<'PY'
from PIL import Image, ImageDraw
for i, (w, h) in enumerate([(800, 600), (600, 900), (1024, 640)]):
    im = Image.new('RGB', (w, h), (30 + 60 * i, 120, 200 - 50 * i))
    d = ImageDraw.Draw(im)
    for y in range(0, h, 18):
        d.rectangle([0, y, w, y + 8], fill=((y * 5) % 256, (y * 3 + 70 * i) % 256, 180 - y % 180))
    im.save(f'p{i}.jpg', quality=92)
PY
  "$cli" new s.AVIprj
  "$cli" add s.AVIprj --fit crop --duration 1.2 --crossfade 0.4 --motion auto p0.jpg p1.jpg
  "$cli" add s.AVIprj --fit blur --duration 1 --crossfade 0.4 --motion 0.5,0.3,1:0.5,0.7,1.5 p2.jpg
  "$cli" set s.AVIprj --size 320x180 --fps 25 --output "$PWD/s.avi" >/dev/null
  cp s.AVIprj plain.AVIprj
  expect_status 0 "$cli" caption s.AVIprj all '{name} {index}/{count}' --style outline
  expect_status 0 "$cli" caption s.AVIprj 3 'Second — שלום' --position top-right --style box --box 20408080 \
    --size 7.5 --colour ffee00 --font "DejaVu Serif bold italic"
  expect_status 0 "$cli" title s.AVIprj --at 0 'Kinetar' --subtitle 'A trip' --duration 0.8 --background blur
  expect_status 0 "$cli" frame s.AVIprj 0 --motion 0.5,0.5,1:0.5,0.5,1.3
  expect_status 0 "$cli" info s.AVIprj
  expect_line out.txt $'0\ttitle\tKinetar\tsubtitle A trip\tbackground blur\tduration 0.8 s\tmotion 0.5,0.5,1:0.5,0.5,1.3'
  expect_line out.txt $'1\tcaption\t{name} {index}/{count}\tposition bottom\tsize 5%\tcolour #ffffff\tstyle outline'
  expect_line out.txt $'3\tcaption\tSecond — שלום\tposition top-right\tsize 7.5%\tcolour #ffee00\tstyle box\tbox #20408080\tfont DejaVu Serif bold italic'
  expect_line out.txt "Length: 0:04.2 — 105 frames"
  json_holds s.AVIprj "d['frames'][3]['caption']['font'] == {'family': 'DejaVu Serif', 'bold': True, 'italic': True}" \
    "d['frames'][0]['title']['background'] == 'blur' and d['frames'][0]['path'] is None" \
    "d['frames'][0]['frame_count'] == 20 and d['total_frames'] == 105"
  expect_status 0 "$cli" render s.AVIprj --codec DIB --quiet
  for frame in 0 10 19 22 30 50 52 60 80 104; do
    expect_status 0 "$cli" still s.AVIprj "#$frame" --output "still$frame.png"
    ffmpeg -v error -y -i s.avi -vf "select=eq(n\,$frame)" -frames:v 1 "video$frame.png"
    cmp -s <(/usr/bin/convert "still$frame.png" rgb:-) <(/usr/bin/convert "video$frame.png" rgb:-) ||
      fail "the still of frame $frame differs from the video's"
  done
  # The captions show: the same frame without them differs.
  cp s.AVIprj uncaptioned.AVIprj
  "$cli" caption uncaptioned.AVIprj all --remove
  "$cli" still uncaptioned.AVIprj "#60" --output uncaptioned60.png
  cmp -s <(/usr/bin/convert uncaptioned60.png rgb:-) <(/usr/bin/convert still60.png rgb:-) &&
    fail "the captions left the frame as it was"
  cp s.AVIprj captioned.AVIprj
  expect_status 0 "$cli" remove s.AVIprj 0
  expect_status 0 "$cli" caption s.AVIprj all --remove
  cmp -s s.AVIprj plain.AVIprj || fail "removing the title and the captions did not give back the project"
  expect_status 1 "$cli" caption s.AVIprj 0 --remove
  expect_line err.txt "kinetar-cli: frame 0 has no caption; nothing was changed"
  # Removing a picture takes its captions along.
  cp captioned.AVIprj r.AVIprj
  expect_status 0 "$cli" remove r.AVIprj 4
  "$cli" info r.AVIprj | grep -c $'\tcaption\t' | grep -qx 2 || fail "picture 4's caption stayed: $("$cli" info r.AVIprj)"
  if command -v tesseract >/dev/null; then
    "$cli" new ocr.AVIprj
    "$cli" add ocr.AVIprj p1.jpg
    "$cli" set ocr.AVIprj --size 720p >/dev/null
    "$cli" caption ocr.AVIprj 0 'Sunset at the harbour' --size 8 --style box
    "$cli" still ocr.AVIprj 0 --output ocr.png
    tesseract ocr.png ocr >/dev/null 2>&1 || fail "tesseract failed"
    grep -q "Sunset at the harbour" ocr.txt || fail "OCR read '$(cat ocr.txt)'"
  fi
  ;;

captions_refused)
  pictures a.bmp:64x48:ff0000
  "$cli" new p.AVIprj
  "$cli" add p.AVIprj a.bmp a.bmp
  /usr/bin/python3 -c 'import wave; w = wave.open("s.wav", "wb"); w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000); w.writeframes(b"\0\0" * 800)'
  "$cli" add p.AVIprj s.wav
  "$cli" caption p.AVIprj 1 first
  cp p.AVIprj before.AVIprj
  long=$(printf 'x%.0s' $(seq 261))
  expect_status 1 "$cli" caption p.AVIprj 0 "$long"
  expect_line err.txt "kinetar-cli: The caption is 261 bytes long; together they may take up to 259 bytes, a text alone 260; nothing was changed"
  expect_status 1 "$cli" caption p.AVIprj 0 "${long:0:250}" --font "DejaVu Sans"
  expect_status 2 "$cli" caption p.AVIprj 0 hello --position centre
  grep -qF "kinetar-cli: --position must be bottom, bottom-left, bottom-right, middle, middle-left, middle-right, top, top-left or top-right, not 'centre'" err.txt || fail "$(cat err.txt)"
  expect_status 2 "$cli" caption p.AVIprj 0 hello --size 0.5
  expect_status 2 "$cli" caption p.AVIprj 0 hello --colour red
  grep -qF "kinetar-cli: --colour must be six hex digits RRGGBB, not 'red'" err.txt || fail "$(cat err.txt)"
  expect_status 2 "$cli" caption p.AVIprj 0 hello --box ffffff
  expect_status 2 "$cli" caption p.AVIprj 0 hello --style glow
  expect_status 2 "$cli" caption p.AVIprj 0 hello --font ""
  expect_status 2 "$cli" caption p.AVIprj 0 ""
  expect_line err.txt "kinetar-cli: the caption is empty"
  expect_status 2 "$cli" caption p.AVIprj 0 $'bad\xff'
  expect_status 2 "$cli" caption p.AVIprj 0 hello world
  expect_status 2 "$cli" caption p.AVIprj 0 hello --remove
  expect_status 2 "$cli" caption p.AVIprj 9 hello
  expect_line err.txt "kinetar-cli: there is no frame 9: the project has 4 frames, numbered from 0"
  expect_status 2 "$cli" caption p.AVIprj 1 hello
  expect_line err.txt "kinetar-cli: frame 1 is a caption; give the index of its picture (2)"
  expect_status 2 "$cli" caption p.AVIprj 3 hello
  expect_line err.txt "kinetar-cli: frame 3 is a sound; a caption goes on a picture"
  expect_status 2 "$cli" frame p.AVIprj 1 --duration 2
  expect_status 2 "$cli" title p.AVIprj Hello
  expect_line err.txt "kinetar-cli: title needs --duration SECONDS: how long the card shows"
  expect_status 2 "$cli" title p.AVIprj Hello --duration 1 --fit crop
  expect_status 2 "$cli" title p.AVIprj $'Two\nlines' --duration 1
  expect_status 2 "$cli" title p.AVIprj Hello --duration 1 --at 5
  expect_status 2 "$cli" title p.AVIprj Hello --duration 1 --background blurry
  cmp -s p.AVIprj before.AVIprj || fail "a refused caption or title changed the project"
  expect_status 0 "$cli" caption p.AVIprj 0 hello --font "No Such Family Kt"
  expect_status 0 "$cli" still p.AVIprj 0 --output s.png
  [ "$(grep -c 'The font family "No Such Family Kt" is not installed' err.txt)" -eq 1 ] ||
    fail "the missing family was not named once: $(cat err.txt)"
  ;;

*)
  fail "no such case"
  ;;
esac
echo "ok ($case_name)"
