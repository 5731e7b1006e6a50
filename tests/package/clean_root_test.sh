#!/usr/bin/env bash
# The .deb on a clean Debian 12: built with CPack from BUILD_DIR and installed with apt into
# a clean root (scripts/clean-root, which keeps that root under BUILD_DIR/package-test),
# where the installed /usr/bin/zuduvor tells its version and usage, sends a claim and
# fetches reports from the bundled test server on this machine's loopback.
#   tests/package/clean_root_test.sh SOURCE_DIR BUILD_DIR
# Exit 77 (skipped) without root, debootstrap, python3-asyncssh or the Debian mirror.
set -euo pipefail
if [ "${1:-}" != --in-root ]; then
  src=$(realpath "$1") build=$(realpath "$2")
  # Before the package is built: a user without root would only find out after it.
  [ "$(id -u)" -eq 0 ] || { echo "SKIPPED: installing into a clean root needs root"; exit 77; }
  /usr/bin/python3 -c 'import asyncssh' 2>/dev/null || { echo "SKIPPED: no python3-asyncssh"; exit 77; }
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" || { cat "$out/cpack.log"; exit 1; }
  status=0
  bash "$src/scripts/clean-root" "$build/package-test" "$out"/zuduvor_*.deb -- bash "$0" --in-root "$src" || status=$?
  exit $status
fi
src=$2 tmp=$(mktemp -d)
trap 'kill "$(cat "$tmp/pid")" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
in_root() { chroot "$ZV_ROOT" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

version=$(in_root zuduvor --version) && echo "$version"
want=$(sed -n 's/^project(zuduvor VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
grep -qx "zuduvor $want (Electronic Claims Secure File Transfer)" <<<"$version" &&
  grep -q '^libssh 0' <<<"$version" && grep -q '^Qt 6' <<<"$version" || fail "--version"
in_root zuduvor --help >"$tmp/help" && grep -q '^Usage: zuduvor ' "$tmp/help" || fail "--help"

port=$(bash "$src/scripts/sftp-test-server" --root "$tmp" --pid-file "$tmp/pid" | sed -n 's/^PORT //p')
station=$ZV_ROOT/tmp/zv
mkdir -p "$station/zod" "$station/practice" "$station/rpt"
printf '%-50.50s\r\n' UserPath/tmp/zv/practice/ 'UserFile*.txt' FileType83P SoftTypeDOCUTRAC \
  'SiteID  k9site' PassWordSecret-Pass1 'RptPath /tmp/zv/rpt/' >"$station/zod/setup.prm"
# A sound 837: the send checks claim files before numbering them.
bash "$src/scripts/sample-claim" K9SITE 1 >"$station/practice/claim1.txt"
touch -d '-1 min' "$station/practice/claim1.txt"
printf 'first\r\n' >"$tmp/home/reports/ACK1.TXT"
run() { in_root zuduvor --work-root /tmp/zv/zod --sftp-host 127.0.0.1 --sftp-port "$port" "$@"; }
run send || fail "send ended with status $?"
cmp "$station/zod/claimsbu/K9SITE0001.83P" "$tmp/home/claims/K9SITE0001.83P" || fail "the claim sent"
printf 'second\r\n' >"$tmp/home/reports/ACK2.TXT"
run get-reports || fail "get-reports ended with status $?"
[ "$(cat "$station"/rpt/ACK*.TXT)" = $'first\r\nsecond\r' ] && [ -z "$(ls "$tmp/home/reports")" ] ||
  fail "the reports fetched"
echo "passed"
