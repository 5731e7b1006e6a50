#!/bin/sh
# Measures what the guards cost before a claim file is numbered: SHA-256 and the envelope
# check on one generated 837 file (default 50 MB), with each SHA-256 implementation.
#   bench/guards-bench.sh [SIZE_MB]
# Builds a Release copy of the benchmark in build/bench.
set -eu

size_mb=${1:-50}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
work=$(mktemp -d "${TMPDIR:-/tmp}/zv-guards-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target zv_bench_guards >/dev/null

# A sound interchange: transactions of 400 claims each, up to the wanted size.
/usr/bin/python3 - "$work/claims.83P" "$size_mb" <<'PY'
import sys
path, size_mb = sys.argv[1], int(sys.argv[2])
target = size_mb * 1000 * 1000
with open(path, "wb") as f:
    f.write(b"ISA*00*          *00*          *ZZ*SMILEDENTAL    *ZZ*ZOD            "
            b"*260512*1003*^*00501*000000905*0*P*:~\r\nGS*HC*SMILEDENTAL*ZOD*20260512*1003*41*X*005010X222A1~\r\n")
    written, tx = 200, 0
    while written < target:
        tx += 1
        segs = ["ST*837*%04d*005010X222A1" % tx, "BHT*0019*00*%d*20260512*1003*CH" % tx]
        for i in range(400):
            segs += ["HL*%d**22*0" % (i + 2), "SBR*P*18*******CI", "NM1*IL*1*DOE*JANE****MI*W%09d" % i,
                     "N3*%d MAIN STREET" % (100 + i), "N4*SPRINGFIELD*IL*62704", "DMG*D8*19800101*F",
                     "CLM*T%dC%d*%d.%02d***11:B:1*Y*A*Y*Y" % (tx, i, 50 + i % 900, i % 100),
                     "DTP*472*D8*20260512", "SV1*HC:D%04d*%d.00*UN*1***1" % (1000 + i, 50 + i % 900)]
        segs.append("SE*%d*%04d" % (len(segs) + 1, tx))
        block = "".join(s + "~\r\n" for s in segs).encode("ascii")
        f.write(block)
        written += len(block)
    f.write(b"GE*%d*41~\r\nIEA*1*000000905~\r\n" % tx)
PY

echo "input: $(stat -c %s "$work/claims.83P") bytes"
cat "$work/claims.83P" >/dev/null  # from the page cache, as a file just written is
for impl in openssl qt; do
    "$build/bench/zv_bench_guards" "$work/claims.83P" "$impl"
done
