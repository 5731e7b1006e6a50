// Transfers with many requests in flight: files at the request sizes of either server
// (32 KiB on the asyncssh server, 261,120 bytes on OpenSSH's) and beyond the bytes one
// flight holds, replies out of order, and a cut in the middle of a flight.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

// clang-format off
// A claim must be long enough not to show up inside another by chance.
#define ZV_SIZES(k, n, x) k ":" n "2" x "=@32767|" k ":" n "3" x "=@32768|" k ":" n "4" x "=@32769|" \
    k ":" n "5" x "=@261119|" k ":" n "6" x "=@261120|" k ":" n "7" x "=@261121|" k ":" n "8" x "=@5000003"
const Scenario kBoundaries[] = {
    {"EveryByteAtEveryBoundary", "83P|*.CLM", ZV_SIZES("p", "c", ".clm") "|" ZV_SIZES("r", "R", "") "|r:R0=|r:R1=@1", "S", nullptr,
     "$0001.83P|$0002.83P|$0003.83P|$0004.83P|$0005.83P|$0006.83P|$0007.83P", "0007",
     "R0|R1|R2|R3|R4|R5|R6|R7|R8"},
};
const Scenario kFlights[] = {
    {"RepliesOutOfOrder", "83P|*.CLM", "reorder|p:a.clm=@300|p:b.clm=@65537|p:c.clm=@3000001|r:R1=@1|r:R2=@65537|r:R3=@3000001|w:W.83P=w|b:W.83P=w", "D|#W.83P   1|X|S", nullptr,
     "$0001.83P|$0002.83P|$0003.83P|W.83P", "0003", "R1|R2|R3"},
    // A send, its report check and later tasks share one session; one the server ended is
    // replaced.
    {"OneSessionPerRun", "83P|*.CLM", "p:a.clm=@300|r:R1.TXT=r1", "S|D|X|G|signons:1|!|G|signons:2", nullptr, "$0001.83P", "0001", "R1.TXT"},
    // The reports before it are home, nothing of it is, and the next run fetches it whole.
    {"DownloadCutMidFlight", "83P|*.CLM", "r:R1.TXT=@10|r:R2.TXT=@900000|r:R3.TXT=@5|cutread:reports/R2.TXT=500000", "G|ls:rpt=R1.TXT|clear|G", "Report Download Failure", "", nullptr, "R1.TXT|R2.TXT|R3.TXT"},
};
// clang-format on

ZV_BOTH_SERVERS_ROWS(Boundaries, WholeOnBothServers, kBoundaries);

ZV_SCENARIO_ROWS(Flights, NothingPartialIsKept, kFlights);

}  // namespace
}  // namespace zv::test
