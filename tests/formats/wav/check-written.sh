#!/bin/bash
# Files written by the WAV destination, as independent tools see them: codec, channels, rate and length.
# Usage: check-written.sh FOLDER
set -euo pipefail
cd "$1"
failures=0
# file | ffprobe codec | channels | rate | seconds
while IFS='|' read -r file codec channels rate seconds; do
  if [ ! -f "$file" ]; then
    echo "missing: $file"; failures=$((failures + 1)); continue
  fi
  read -r got_codec got_rate got_channels got_duration < <(ffprobe -v error -select_streams a:0 \
    -show_entries stream=codec_name,channels,sample_rate:format=duration -of default=nw=1:nk=1 "$file" | paste -sd' ')
  sox_seconds=$(soxi -D "$file")
  ok=1
  [ "$got_codec" = "$codec" ] || ok=0
  [ "$got_channels" = "$channels" ] || ok=0
  [ "$got_rate" = "$rate" ] || ok=0
  # ffprobe counts the frames of block codecs by the "fact" chunk: to the millisecond. sox rounds to whole blocks.
  awk -v a="$got_duration" -v b="$seconds" 'BEGIN { exit !(a - b < 0.001 && b - a < 0.001) }' || ok=0
  awk -v a="$sox_seconds" -v b="$seconds" 'BEGIN { exit !(a - b < 0.05 && b - a < 0.05) }' || ok=0
  if [ $ok -eq 1 ]; then
    echo "ok: $file ($got_codec, $got_channels ch, $got_rate Hz, $got_duration s; sox $sox_seconds s)"
  else
    echo "FAILED: $file: ffprobe says $got_codec, $got_channels ch, $got_rate Hz, $got_duration s; sox $sox_seconds s;" \
         "expected $codec, $channels ch, $rate Hz, $seconds s"
    failures=$((failures + 1))
  fi
done <<'LIST'
pcm.wav|pcm_s16le|2|44100|2.5
ima.wav|adpcm_ima_wav|1|22050|2.5
ulaw.wav|pcm_mulaw|1|8000|2.5
alaw.wav|pcm_alaw|1|8000|2.5
gsm.wav|gsm_ms|1|8000|2.5
LIST
# Every byte of the PCM copy is what the tone was (sox compares the decoded samples with the input).
if ! cmp -s <(sox -q pcm.wav -t raw -) <(sox -q source.wav -t raw -); then
  echo "FAILED: pcm.wav samples differ from source.wav"; failures=$((failures + 1))
fi
echo "$failures of the written files failed"
[ $failures -eq 0 ]
