#!/bin/sh
# Measures the segment splitter against `tr '~' '\n'` on the same file of 837-shaped
# segments (at least 200 MB), and the splitter's peak memory.
#   bench/splitter-bench.sh [SIZE_MB]      (default 200)
# Builds a Release copy of the benchmark in build/bench.
set -eu

size_mb=${1:-200}
[ "$size_mb" -ge 200 ] || { echo "the file must be at least 200 MB" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
work=$(mktemp -d "${TMPDIR:-/tmp}/zv-splitter-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target zv_bench_splitter >/dev/null

# One block of claim segments, repeated up to the wanted size.
/usr/bin/python3 - "$work/claims.83P" "$size_mb" <<'PY'
import sys
path, size_mb = sys.argv[1], int(sys.argv[2])
segs = ["ISA*00*          *00*          *ZZ*K9             *ZZ*ZOD            *260105*0903*^*00501*000000001*0*P*:",
        "GS*HC*K9*ZOD*20260105*0903*1*X*005010X222A1", "ST*837*0001*005010X222A1",
        "BHT*0019*00*0001*20260105*0903*CH", "NM1*41*2*SMILE DENTAL GROUP*****46*K9"]
for i in range(400):
    segs += ["HL*%d**22*0" % (i + 2), "SBR*P*18*******CI", "NM1*IL*1*DOE*JANE****MI*W%09d" % i,
             "N3*%d MAIN STREET" % (100 + i), "N4*SPRINGFIELD*IL*62704", "DMG*D8*19800101*F",
             "CLM*A%05d*%d.00***11:B:1*Y*A*Y*Y" % (i, 50 + i % 900), "DTP*472*D8*20260105",
             "SV1*HC:D%04d*%d.00*UN*1***1" % (1000 + i % 9000, 50 + i % 900)]
segs += ["SE*3600*0001", "GE*1*1", "IEA*1*000000001"]
block = ("~".join(segs) + "~\r\n").encode("ascii")
target = size_mb * 1000 * 1000
with open(path, "wb") as f:
    written = 0
    while written < target:
        f.write(block)
        written += len(block)
PY

bytes=$(stat -c %s "$work/claims.83P")
now() { date +%s.%N; }
# Warm the page cache so that both runs read from memory.
cat "$work/claims.83P" >/dev/null

if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$build/bench/zv_bench_splitter" "$work/claims.83P" "$work/claim.txt" \
        >"$work/ours.out" 2>"$work/ours.time"
    peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/ours.time")
else
    "$build/bench/zv_bench_splitter" "$work/claims.83P" "$work/claim.txt" >"$work/ours.out"
    peak_kb=$(sed -n 's/.*peak_rss_kb=//p' "$work/ours.out")
fi
ours_s=$(sed -n 's/^seconds=\([0-9.]*\).*/\1/p' "$work/ours.out")
rm -f "$work/claim.txt"

start=$(now)
tr '~' '\n' <"$work/claims.83P" >"$work/tr.txt"
end=$(now)
tr_s=$(echo "$end - $start" | bc -l 2>/dev/null || /usr/bin/python3 -c "print($end - $start)")

/usr/bin/python3 - "$bytes" "$ours_s" "$tr_s" "$peak_kb" <<'PY'
import sys
size, ours, tr, peak = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
mb = size / 1e6
print("input:            %.1f MB" % mb)
print("splitter:         %.2f s, %.1f MB/s" % (ours, mb / ours))
print("tr '~' '\\n':      %.2f s, %.1f MB/s" % (tr, mb / tr))
print("ratio (tr/ours):  %.2f (splitter throughput as a share of tr's)" % (tr / ours))
print("splitter peak RSS: %s kB" % peak)
PY
