# Helpers for the converter's end-to-end scripts (sourced). Expects $run (the Wine wrapper) and $exe.
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
check() {  # check NAME EXPECTED_STATUS COMMAND... ; output in $out
  local name=$1 expected=$2
  shift 2
  out=$(timeout 120 "$run" "$exe" "$@" 2>&1)
  status=$?
  [ "$status" -eq 124 ] && out="(no answer within 120 s)"
  if [ "$status" -ne "$expected" ]; then
    fail "$name: exit status $status, expected $expected"
    echo "$out" | sed 's/^/    /'
    return 1
  fi
  echo "ok: $name"
}
expect_text() {  # expect_text NAME TEXT: the last output contains TEXT
  if ! grep -qF -- "$2" <<<"$out"; then
    fail "$1: output lacks '$2'"
    echo "$out" | sed 's/^/    /'
  fi
}
expect_absent() {  # expect_absent NAME PATH...: none of the paths exists
  local name=$1
  shift
  for path in "$@"; do [ -e "$path" ] && fail "$name: $path exists"; done
}
expect_same() {  # expect_same NAME FILE CHECKSUM
  [ "$(md5sum <"$2")" = "$3" ] || fail "$1: $2 was changed"
}
leftovers() {  # the converter's temporary outputs in a folder
  find "$1" -maxdepth 1 -name '~tavconv*' 2>/dev/null
}
