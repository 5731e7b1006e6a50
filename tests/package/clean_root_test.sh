#!/usr/bin/env bash
# The .deb on a clean Debian 12: builds it with CPack from BUILD_DIR, installs it with apt
# into a fresh minbase root (so that its dependencies resolve as on a practice's machine),
# and runs the installed /usr/bin/zuduvor there: --version, --help, a console send and a
# report fetch against the bundled SFTP server on this machine's loopback.
#   tests/package/clean_root_test.sh SOURCE_DIR BUILD_DIR
# The minbase root is made once and kept under BUILD_DIR/package-test (about 100 s the
# first time); each run works on a copy of it. Exit 77 (skipped) without root, debootstrap
# or a reachable mirror. Everything runs in a mount namespace of its own, and every mount
# and process is ended on every way out.
set -euo pipefail
src=$(cd "${1:?source dir}" && pwd)
build=$(cd "${2:?build dir}" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "installing into a root folder needs root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/install-test-deps)"
/usr/bin/python3 -c 'import asyncssh' 2>/dev/null || skip "python3-asyncssh is not installed"

# Mounts made in a private namespace vanish with it, even if this script is killed.
if [ -z "${ZV_CLEAN_ROOT_NS:-}" ]; then
  ZV_CLEAN_ROOT_NS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

cache=$build/package-test
mkdir -p "$cache/apt-archives"
work=$(mktemp -d "$cache/run-XXXXXX")
root=$work/root
mounts=()
server_pid=
cleanup() {
  local status=$?
  set +e
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"
  done
  rm -rf --one-file-system "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM
step() { echo "== $* ($SECONDS s)"; }

# The mirror this machine's apt uses.
mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
  grep -v security | head -1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb[[:space:]]\+\([^[:space:]]*\)[[:space:]]\+bookworm[[:space:]].*/\1/p' \
  /etc/apt/sources.list 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}

if [ ! -d "$cache/bookworm" ]; then
  step "debootstrap bookworm (minbase) from $mirror"
  wget -q -T 20 -O /dev/null "$mirror/dists/bookworm/Release" || skip "the mirror $mirror cannot be reached"
  rm -rf "$cache/bookworm.new"
  debootstrap --variant=minbase bookworm "$cache/bookworm.new" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log"; echo "debootstrap failed (log: $cache/debootstrap.log)"; exit 1; }
  mv "$cache/bookworm.new" "$cache/bookworm"  # only a whole root is ever used
fi

step "package (CPack)"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/deb/zuduvor_*.deb)
dpkg-deb -f "$deb" Package Version Depends

step "a fresh copy of the clean root"
cp -a "$cache/bookworm" "$root"
bindmount() { mkdir -p "$2" && mount "${@:3}" "$1" "$2" && mounts+=("$2"); }
bindmount proc "$root/proc" -t proc
bindmount sysfs "$root/sys" -t sysfs
bindmount /dev "$root/dev" --bind
bindmount /dev/pts "$root/dev/pts" --bind
bindmount tmpfs "$root/run" -t tmpfs
bindmount tmpfs "$root/tmp" -t tmpfs
# Downloads are kept between runs: the second install is quick.
bindmount "$cache/apt-archives" "$root/var/cache/apt/archives" --bind
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"  # no service starts in the root
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/zuduvor.deb"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

step "apt install ./zuduvor.deb in the clean root"
if ! in_root sh -c 'apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends /tmp/zuduvor.deb' \
  >"$work/apt.log" 2>&1; then
  tail -30 "$work/apt.log"
  exit 1
fi

fail() { echo "FAILED: $*"; exit 1; }
step "zuduvor --version and --help"
version=$(in_root /usr/bin/zuduvor --version) || fail "--version"
echo "$version"
want=$(sed -n 's/^project(zuduvor VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
grep -q "^zuduvor $want " <<<"$version" && grep -q '^libssh ' <<<"$version" && grep -q '^Qt 6' <<<"$version" ||
  fail "--version does not name the program's version $want, libssh and Qt"
in_root /usr/bin/zuduvor --help | grep -q '^Usage: zuduvor' || fail "--help"
[ -f "$root/usr/share/applications/zuduvor.desktop" ] && compgen -G "$root/usr/share/man/man1/zuduvor.1*" >/dev/null ||
  fail "the desktop entry or the man page is missing"

step "a console send and report fetch against the test server on 127.0.0.1"
srv=$work/server
mkdir -p "$srv/home/claims" "$srv/home/reports"
/usr/bin/python3 "$src/tests/server/sftp_server.py" "$srv" k9site Secret-Pass1 0 current >"$srv/out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q '^PORT ' "$srv/out" && break; sleep 0.1; done
port=$(sed -n 's/^PORT //p' "$srv/out")
[ -n "$port" ] || { cat "$srv/out"; fail "the test server did not start"; }

station=$root/tmp/zv
mkdir -p "$station/zod" "$station/practice" "$station/rpt"
line() { printf '%-50.50s\r\n' "$1$2"; }
{
  line UserPath /tmp/zv/practice/
  line UserFile '*.txt'
  line FileType 83P
  line SoftType DOCUTRAC
  line "SiteID  " k9site
  line PassWord Secret-Pass1
  line "RptPath " /tmp/zv/rpt/
} >"$station/zod/setup.prm"
printf 'ISA*00*~GS*HC~ST*837*0001~SE*2*0001~\r\n' >"$station/practice/claim1.txt"
printf 'first report\r\n' >"$srv/home/reports/ACK1.TXT"
run() { in_root /usr/bin/zuduvor --work-root /tmp/zv/zod --sftp-host 127.0.0.1 --sftp-port "$port" "$@"; }
run send || fail "the console send ended with status $?"
cmp -s "$station/zod/claimsbu/K9SITE0001.83P" "$srv/home/claims/K9SITE0001.83P" ||
  fail "the claim is not on the server as it was sent"
[ -f "$station/rpt/ACK1.TXT" ] || fail "the send's report check did not fetch ACK1.TXT"
printf 'second report\r\n' >"$srv/home/reports/ACK2.TXT"
run get-reports || fail "the console report fetch ended with status $?"
cmp -s <(printf 'second report\r\n') "$station/rpt/ACK2.TXT" || fail "ACK2.TXT was not fetched whole"
[ -z "$(ls -A "$srv/home/reports")" ] || fail "reports were left on the server"
step "passed"
