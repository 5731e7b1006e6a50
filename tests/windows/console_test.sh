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
trap 'kill $server 2>/dev/null; rm -rf "$tmp" "$root" "$drive/practice-$$" "$drive/rpt-$$"' EXIT
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
  printf '%-50s\r\n' "UserPath$1" "UserFile*.CLM" "FileType83P" "SoftTypeTEST" "SiteID  k9site" \
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
claim() {  # a sound 837 of one claim whose interchange number is $1
  local n
  n=$(printf '%09d' "$1")
  printf '%s~\n' "ISA*00*          *00*          *ZZ*SMILEDENTAL    *ZZ*ZOD            *260512*1003*^*00501*$n*0*P*:" \
    "GS*HC*SMILEDENTAL*ZOD*20260512*1003*41*X*005010X222A1" "ST*837*0001*005010X222A1" \
    "BHT*0019*00*B$1*20260512*1003*CH" "CLM*PCN-$1*150.5***11:B:1*Y*A*Y*Y" "SE*4*0001" "GE*1*41" "IEA*1*$n"
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

# Two practice files joined into one claim file.
claim 2 >"$drive/practice-$$/b.clm"
claim 3 >"$drive/practice-$$/c.clm"
run 0 "Claim Files Sent" send
[ -f "$tmp/home/claims/K9SITE0002.83P" ] || fail "the joined K9SITE0002.83P is not on the server"
[ "$(grep -c '^ISA' "$tmp/home/claims/K9SITE0002.83P" 2>/dev/null)" = 2 ] || fail "K9SITE0002.83P does not hold both files"

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
run 0 "K9SITE0002" history

# Two programs on one work root at once: each claim reaches the server exactly once.
for n in 4 5 6; do claim "$n" >"$drive/practice-$$/d$n.clm"; done
(cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" send >"$tmp/a.out" 2>&1) &
first=$!
(cd "$root" && bash "$src/scripts/wine-run" "$exe" --sftp-host 127.0.0.1 --sftp-port "$port" send >"$tmp/b.out" 2>&1)
wait "$first"
run 0 "" send  # whatever one of them held back goes now
sent=$(cat "$tmp"/home/claims/K9SITE000[3-9].83P 2>/dev/null | grep -c '^ISA')
[ "$sent" = 3 ] || fail "two programs sent $sent claims of 3: $(cat "$tmp/a.out" "$tmp/b.out")"

# Everything the program keeps in the work root is private: no entry for Users or Everyone.
acl=$(cd "$root" && bash "$src/scripts/wine-run" cmd /c "icacls ." 2>&1)
case $acl in *Everyone* | *BUILTIN\\Users*) fail "the work root is open to others: $acl" ;; esac

[ $failures = 0 ] && echo "windows console: all rows passed"
exit $((failures > 0))
