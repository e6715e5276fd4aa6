#!/bin/bash
# Starts or stops the tests' CDDB server. Usage: cddb-fixture.sh start|stop FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=$1 folder=$2
if [ -f "$folder/pid" ]; then
  kill "$(cat "$folder/pid")" 2>/dev/null || true
  rm -f "$folder/pid"
fi
[ "$action" = stop ] && exit 0
rm -rf "$folder" && mkdir -p "$folder"
nohup python3 "$here/cddb-server.py" "$folder" >"$folder/server.log" 2>&1 </dev/null &
echo $! >"$folder/pid"
for _ in $(seq 1 100); do
  [ -f "$folder/port.txt" ] && exit 0
  sleep 0.1
done
echo "the CDDB server did not start:" >&2
cat "$folder/server.log" >&2
exit 1
