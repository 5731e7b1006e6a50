#!/usr/bin/env bash
# The Windows program's console under Wine against the asyncssh test server on 127.0.0.1,
# on a work root found by the drive-letter rule (C:\ZODWINE-n\) with a setup.prm that
# holds C:\...\ paths:
#   tests/windows/console_test.sh SOURCE_DIR ZUDUVOR_EXE
# Each row: a command, the exit status it must end with, and text its output must hold.
set -uo pipefail
src=$1 exe=$2
prefix=${ZUDUVOR_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/zuduvor-windows/wine}
drive=$prefix/drive_c
tmp=$(mktemp -d)
name=ZODWINE-$$
root=$drive/$name
trap 'kill $server 2>/dev/null; rm -rf "$tmp" "$root" "$drive/practice-$$" "$drive/rpt-$$" "$drive/Zahnärzte-$$"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# --- the server ------------------------------------------------------------------------
mkdir -p "$tmp/home/claims" "$tmp/home/reports"
port=$((20000 + RANDOM % 12000))
/usr/bin/python3 "$src/tests/server/sftp_server.py" "$tmp" k9site Secret-Pass1 "$port" current >"$tmp/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q '^PORT ' "$tmp/server.out" && break; sleep 0.1; done
grep -q '^PORT ' "$tmp/server.out" || { cat "$tmp/server.out"; exit 1; }

# --- the workstation ----------------------------------------------------------------------
mkdir -p "$root" "$drive/practice-$$" "$drive/rpt-$$"
setup() {  # key (8 characters) and value, padded to 50, CR LF, as the program writes it
  printf '%-50s\r\n' "UserPath$1" "UserFile*.CLM" "FileType${3:-83P}" "SoftTypeTEST" "SiteID  k9site" \
    "PassWordSecret-Pass1" "RptPath $2"
}
run() {  # expected-status pattern command...
  local want=$1 pattern=$2
  shift 2
  local out
  out=$(cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" "$@" 2>&1)
  local got=$?
  out=${out//$'\r'/}
  [ "$got" = "$want" ] || fail "$* ended with $got, not $want: $out"
  [[ "$out" == *"$pattern"* ]] || fail "$*: no \"$pattern\" in: $out"
  printf '%s\n' "$out" >"$tmp/last.out"
}
claim() {  # a sound 837P of one claim whose interchange number is $1
  bash "$src/scripts/sample-claim" SMILEDENTAL "$1"
}

# The start-up states: no setup, then a setup with C:\ paths.
run 1 "Setup File not Found. Please do the Setup." send
[ -d "$root/claimsbu" ] || fail "start-up made no claimsbu folder in C:\\$name"
setup "C:\\practice-$$\\" "C:\\rpt-$$\\" >"$root/setup.prm"
run 0 "zuduvor 4" --version
run 0 "libssh" --version

# The window drawn by Windows' own platform plugin (kept beside the test's output).
picture=$PWD/windows-main-window.png
rm -f "$picture"
run 0 "" -platform windows --screenshot "Z:${picture//\//\\}"
[ "$(head -c 4 "$picture" 2>/dev/null | tail -c 3)" = PNG ] || fail "no picture of the window at $picture"

# Send with numbering, then the report waiting on the server comes down.
claim 1 >"$drive/practice-$$/a.clm"
printf 'TA1 report\r\n' >"$tmp/home/reports/R1.TXT"
run 0 "1 Claim Files Sent" send
[ -f "$tmp/home/claims/K9SITE0001.83P" ] || fail "K9SITE0001.83P is not on the server"
[ -f "$root/claimsbu/K9SITE0001.83P" ] || fail "no backup K9SITE0001.83P"
[ -e "$drive/practice-$$/a.clm" ] && fail "the practice file a.clm was not removed after sending"
run 0 "" get-reports
[ -f "$drive/rpt-$$/R1.TXT" ] || fail "R1.TXT did not reach C:\\rpt-$$"

# Two practice files: two submission numbers, in order.
claim 2 >"$drive/practice-$$/b.clm"
claim 3 >"$drive/practice-$$/c.clm"
run 0 "2 Claim Files Sent" send
for n in 2 3; do
  [ -f "$tmp/home/claims/K9SITE000$n.83P" ] || fail "K9SITE000$n.83P is not on the server"
done

# Waiting files: listed, deleted; backups: listed, viewed split at segments, resent.
run 0 "K9SITE0001.83P" list-waiting
run 0 "Deleted" delete K9SITE0001.83P
[ -f "$tmp/home/claims/K9SITE0001.83P" ] && fail "K9SITE0001.83P is still on the server after delete"
run 0 "K9SITE0002.83P" list-backups
run 0 "claim.txt" view K9SITE0001.83P
[ "$(grep -c . "$root/claim.txt")" -ge 5 ] || fail "claim.txt is not split at the segments"
grep -q $'\r$' "$root/claim.txt" || fail "claim.txt has no CR LF line ends"
run 0 "Resending File K9SITE0001.83P" resend K9SITE0001.83P --yes
[ -f "$tmp/home/claims/K9SITE0001.83P" ] || fail "the resent K9SITE0001.83P is not on the server"
run 0 "K9SITE0003" history

# Faults: a cut upload and a refused rename keep the claim for a resend; a refused listing
# and a cut download keep the report on the server for the next run.
faults() { printf '%s' "$1" >"$tmp/control.json"; }
waiting_copy() { ls "$root/claims" | grep -c . ; }
claim 7 >"$drive/practice-$$/e.clm"
faults '{"cut_write": [{"op": "write", "path": "claims/*", "offset": 50}]}'
run 1 "" send
faults '{"fail": [{"op": "rename", "path": "claims/*"}]}'
claim 8 >"$drive/practice-$$/f.clm"
run 1 "" send
faults '{}'
[ "$(waiting_copy)" -ge 1 ] || fail "no claim waits in claims\\ for a resend after the faults"
for f in "$root"/claims/K9SITE*.83P; do
  [ -e "$f" ] && run 0 "" resend "$(basename "$f")" --yes
done
printf 'second report\r\n' >"$tmp/home/reports/R2.TXT"
faults '{"fail": [{"op": "opendir", "path": "reports*"}]}'
run 1 "" get-reports
faults '{"cut_read": [{"op": "read", "path": "reports/R2.TXT", "offset": 3}]}'
run 1 "" get-reports
[ -f "$drive/rpt-$$/R2.TXT" ] && fail "a cut download left R2.TXT in the report folder"
[ -f "$tmp/home/reports/R2.TXT" ] || fail "a cut download removed R2.TXT from the server"
faults '{}'
run 0 "" get-reports
[ "$(cat "$drive/rpt-$$/R2.TXT" 2>/dev/null)" = $'second report\r' ] || fail "R2.TXT did not come whole after the faults"

# Two programs on one work root at once: each claim reaches the server exactly once.
for n in 4 5 6; do claim "$n" >"$drive/practice-$$/d$n.clm"; done
(cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" send >"$tmp/a.out" 2>&1) &
first=$!
(cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" send >"$tmp/b.out" 2>&1)
wait "$first"
run 0 "" send  # whatever one of them held back goes now
sent=$(cat "$tmp"/home/claims/K9SITE00*.83P 2>/dev/null | grep -c '^ISA')
[ "$sent" = 8 ] || fail "the server holds $sent claims of 8 (two programs at once): $(cat "$tmp/a.out" "$tmp/b.out")"

# The program killed in the middle of a send (its upload done, the rename held up by the
# server): started again, it settles the claim, and the claim is on the server once.
killed_at() {  # op: the program is killed once the server holds up that step
  faults "{\"delay\": [{\"op\": \"$1\", \"path\": \"claims/*\", \"seconds\": 30}]}"
  (cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" send >"$tmp/killed.out" 2>&1) &
  local sender=$!
  for _ in $(seq 600); do grep -q "^$1 .* delayed" "$tmp/server.log" && break; sleep 0.1; done
  grep -q "^$1 .* delayed" "$tmp/server.log" || fail "the send never reached $1: $(cat "$tmp/killed.out")"
  pkill -9 -f "zuduvor\.exe.*--sftp-port $port" || true
  wait "$sender" 2>/dev/null
  grep -q "Claim Files Sent" "$tmp/killed.out" && fail "the send killed at $1 ended by itself"
  faults '{}'
}
copies() { cat "$tmp"/home/claims/K9SITE* 2>/dev/null | grep -c "^ISA.*\*$(printf '%09d' "$1")\*0\*P"; }
n=11
for op in rename write; do
  claim $n >"$drive/practice-$$/k$n.clm"
  killed_at $op
  run 0 "" send
  [ -e "$drive/practice-$$/k$n.clm" ] && fail "killed at $op: k$n.clm is still in the practice folder"
  for f in "$root"/claims/K9SITE*; do
    [ -e "$f" ] && run 0 "" resend "$(basename "$f")" --yes
  done
  [ "$(copies $n)" = 1 ] || fail "killed at $op: the claim is on the server $(copies $n) times, not once"
  n=$((n + 1))
done

# A dental package's files are joined into one claim file before they are numbered.
setup "C:\\practice-$$\\" "C:\\rpt-$$\\" DEN >"$root/setup.prm"
claim 9 >"$drive/practice-$$/g.clm"
claim 10 >"$drive/practice-$$/h.clm"
run 0 "1 Claim Files Sent" send
joined=$(ls "$tmp"/home/claims/*.DEN 2>/dev/null | head -n 1)
[ "$(grep -c '^ISA' "$joined" 2>/dev/null)" = 2 ] || fail "no joined .DEN file holding both claims: $(ls "$tmp/home/claims")"

# A practice folder named in the system's code page, as setup.prm holds it, and a report
# whose name takes its path past Windows' old limit of 260 characters.
practice="Zahnärzte-$$"
mkdir -p "$drive/$practice"
setup "C:\\$practice\\" "C:\\rpt-$$\\" | iconv -f UTF-8 -t CP1252 >"$root/setup.prm"
claim 13 >"$drive/$practice/n.clm"
long=R3-$(printf 'L%.0s' $(seq 246)).TXT
printf 'long report\r\n' >"$tmp/home/reports/$long"
run 0 "1 Claim Files Sent" send
[ -e "$drive/$practice/n.clm" ] && fail "n.clm was not taken from C:\\$practice"
[ "$(copies 13)" = 1 ] || fail "the claim from C:\\$practice is on the server $(copies 13) times"
[ -f "$drive/rpt-$$/$long" ] || fail "a report whose path is $((${#long} + 14)) characters long did not come"

[ $failures = 0 ] && echo "windows console: all rows passed"
exit $((failures > 0))
