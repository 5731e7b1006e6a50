// Transfers with many requests in flight: files at the request sizes of either server
// (32 KiB on the asyncssh server, 261,120 bytes on OpenSSH's) and beyond the bytes one
// flight holds, replies out of order, and a cut in the middle of a flight.
#include <gtest/gtest.h>

#include "support/steps.h"

namespace zv::test {
namespace {

void signOns(ServerTest& t, int count) {  // passwords the server accepted in all
    EXPECT_EQ(t.server.logText().count(" accepted"), count) << t.server.logText();
}

// clang-format off
// A claim must be long enough not to show up inside another by chance.
const Scenario kBoundaries[] = {
    {.name = "EveryByteAtEveryBoundary", .steps = {{claim, "c2.clm", sized(32767)}, {claim, "c3.clm", sized(32768)}, {claim, "c4.clm", sized(32769)}, {claim, "c5.clm", sized(261119)}, {claim, "c6.clm", sized(261120)}, {claim, "c7.clm", sized(261121)}, {claim, "c8.clm", sized(5000003)}, {report, "R2", sized(32767)}, {report, "R3", sized(32768)}, {report, "R4", sized(32769)}, {report, "R5", sized(261119)}, {report, "R6", sized(261120)}, {report, "R7", sized(261121)}, {report, "R8", sized(5000003)}, {report, "R0", ""}, {report, "R1", sized(1)}, SendClaims}, .server = "$0001.83P|$0002.83P|$0003.83P|$0004.83P|$0005.83P|$0006.83P|$0007.83P", .seq = "0007", .reports = "R0|R1|R2|R3|R4|R5|R6|R7|R8"},
};
const Scenario kFlights[] = {
    {.name = "RepliesOutOfOrder", .steps = {onServer(&Server::reorder), {claim, "a.clm", sized(300)}, {claim, "b.clm", sized(65537)}, {claim, "c.clm", sized(3000001)}, {report, "R1", sized(1)}, {report, "R2", sized(65537)}, {report, "R3", sized(3000001)}, {waiting, "W.83P", "w"}, {backup, "W.83P", "w"}, DeleteClaimFiles, {pickerLines, "W.83P   1"}, ClosePicker, SendClaims}, .server = "$0001.83P|$0002.83P|$0003.83P|W.83P", .seq = "0003", .reports = "R1|R2|R3"},
    // A send, its report check and later tasks share one session; one the server ended is
    // replaced.
    {.name = "OneSessionPerRun", .steps = {{claim, "a.clm", sized(300)}, {report, "R1.TXT", "r1"}, SendClaims, DeleteClaimFiles, ClosePicker, GetReports, {signOns, 1}, restartServer, GetReports, {signOns, 2}}, .server = "$0001.83P", .seq = "0001", .reports = "R1.TXT"},
    // The reports before it are home, nothing of it is, and the next run fetches it whole.
    {.name = "DownloadCutMidFlight", .steps = {{report, "R1.TXT", sized(10)}, {report, "R2.TXT", sized(900000)}, {report, "R3.TXT", sized(5)}, onServer(&Server::cutReadAt, "reports/R2.TXT", 500000), GetReports, {folderHolds, "rpt", "R1.TXT"}, clearFaults, GetReports}, .told = "Report Download Failure", .reports = "R1.TXT|R2.TXT|R3.TXT"},
};
// clang-format on

ZV_BOTH_SERVERS_ROWS(Boundaries, WholeOnBothServers, kBoundaries);

ZV_SCENARIO_ROWS(Flights, NothingPartialIsKept, kFlights);

}  // namespace
}  // namespace zv::test
