#!/bin/bash
# Reads the burner's compiled help file with 7-Zip: the pages the windows open are in it, each with its title,
# and the table of contents points at them.
# Usage: check-help.sh CHM
set -euo pipefail
chm=$1
status=0
fail() { echo "FAIL: $*"; status=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
7z x -y -o"$work" "$chm" >/dev/null || { echo "FAIL: 7-Zip cannot read $chm"; exit 1; }
declare -A titles=([main.htm]="Burning a CD" [cdimages.htm]="CD images" [settings.htm]="Data CD settings")
for page in "${!titles[@]}"; do
  [ -f "$work/$page" ] || { fail "$page is not in the help file"; continue; }
  grep -q "<title>${titles[$page]}</title>" "$work/$page" || fail "$page is not titled ${titles[$page]}"
  grep -q "value=\"$page\"" "$work/cdforge.hhc" || fail "the contents do not list $page"
done
grep -q "Tavrel cdforge Help" "$work/#SYSTEM" || fail "the help file has no title"
exit $status
