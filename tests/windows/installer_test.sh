#!/usr/bin/env bash
# The installer under Wine: installs silently for this user (no administrator), the
# installed program runs and tells its version, the uninstaller removes exactly what was
# installed and leaves the work root and its data alone; an upgrade does the same.
#   tests/windows/installer_test.sh SOURCE_DIR BUILD_DIR
# Skipped (77) when bash scripts/windows-package has not made the installer yet.
set -uo pipefail
src=$1 build=$2
setup=$(ls "$build"/zuduvor-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || { echo "no installer in $build: run bash scripts/windows-package"; exit 77; }
prefix=${ZUDUVOR_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/zuduvor-windows/wine}
wine_run() { bash "$src/scripts/wine-run" "$@"; }
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# The per-user folder the installer chooses, as a path on this side.
appdata=$(wine_run cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
installed=$(WINEPREFIX=$prefix winepath -u "$appdata\\Programs\\zuduvor" 2>/dev/null)
[ -n "$installed" ] || { echo "cannot tell where %LOCALAPPDATA% is"; exit 1; }
work=$prefix/drive_c/zod-installer-$$
trap 'rm -rf "$work"' EXIT
mkdir -p "$work" && printf 'kept' >"$work/seqfile.fil"

gone() {  # waits for the uninstaller, which runs on from a copy of itself
  for _ in $(seq 120); do [ -e "$installed/zuduvor.exe" ] || return 0; sleep 0.5; done
  return 1
}
for round in install upgrade; do
  wine_run "$setup" /S || fail "$round: the installer ended with $?"
  [ -f "$installed/zuduvor.exe" ] || fail "$round: no zuduvor.exe in $installed"
  wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zuduvor' /v DisplayVersion >/dev/null 2>&1 ||
    fail "$round: no entry in Apps & features"
  version=$(wine_run "$installed/zuduvor.exe" --version 2>&1 | tr -d '\r')
  [[ $version == *"zuduvor "*"libssh "*"Qt "* ]] || fail "$round: --version said: $version"
done
wine_run "$installed/uninstall.exe" /S
gone || fail "the uninstaller left $(ls "$installed" 2>/dev/null | head -n 3)"
wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zuduvor' >/dev/null 2>&1 &&
  fail "the Apps & features entry is still there"
[ "$(cat "$work/seqfile.fil" 2>/dev/null)" = kept ] || fail "the uninstaller touched the work root"
[ $failures = 0 ] && echo "installer: installed, upgraded, ran and removed"
exit $((failures > 0))
