// The X12 rules: claim files sound and damaged (each envelope rule broken once).
#include "x12/x12.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/x12_samples.h"

using namespace zv;
using namespace zv::x12;
using zv::test::claimFile;
using zv::test::group;
using zv::test::interchange;

namespace {

QByteArray replaced(QByteArray data, const QByteArray& from, const QByteArray& to) {
    const qsizetype at = data.indexOf(from);
    return at < 0 ? "<" + from + " not found>" : data.replace(at, from.size(), to);
}

}  // namespace

TEST(X12, ClaimFileEnvelope) {
    const QByteArray good = claimFile();
    // clang-format off
    const std::pair<QByteArray, QString> rows[] = {
        {good, ""},
        {" \r\n" + QByteArray(good).replace("~\n", "~\r\n") + "\x1a", ""},  // line breaks, padding
        {QByteArray(good).replace('*', '|').replace('~', '\''), ""},  // separators from the ISA
        {replaced(good, "GE*2*41", "GE*2*0041"), ""},                   // N0 numbers: same number
        {replaced(good, "000000905~", "000000905"), ""},                // last IEA unterminated
        {"", "the file is empty"},
        {"<html>", "it does not begin with an interchange header (ISA)"},
        {good.left(80), "the interchange header (ISA) is cut short"},
        {replaced(good, "SMILEDENTAL    ", "SMILEDENTAL   "), "the interchange header (ISA) is not 106 characters with its separators"},
        {good.left(good.indexOf("IEA")), "the end of the interchange (IEA) is missing"},
        {replaced(good, "IEA*1*000000905", "IEA*1*000000907"), "IEA02 000000907 does not match ISA13 000000905"},
        {replaced(good, "IEA*1", "IEA*2"), "IEA01 says 2 groups, but the interchange has 1"},
        {replaced(good, "GE*2*41", "GE*2*42"), "GE02 42 does not match GS06 41"},
        {replaced(good, "GE*2", "GE*3"), "GE01 says 3 transactions, but group 41 has 2"},
        {replaced(good, "GE*2*41~\n", ""), "the end (GE) of group 41 is missing"},
        {replaced(good, "SE*3*0002", "SE*3*0003"), "SE02 0003 does not match ST02 0002"},
        {replaced(good, "SE*5", "SE*4"), "SE01 says 4 segments, but transaction 0001 has 5"},
        {good.left(good.indexOf("CLM*PCN-3") + 12), "the end (SE) of transaction 0002 is missing"},
        {replaced(good, "GE*2*41~", "GE*2*41~NTE*X~"), "the segment NTE is outside a transaction (ST to SE)"},
        {good + "ISA", "there is more data after the end of the interchange (IEA)"},
        {replaced(good, "*20***", "*20.001***"), "the charge 20.001 (CLM02) of claim PCN-2 is not an amount in dollars and cents"},
    };
    // clang-format on
    for (const auto& [data, reason] : rows) {
        const Result<ClaimFileFacts> facts = readClaimFile(data);
        EXPECT_EQ(facts.reason(), reason) << data.left(300).toStdString();
        if (!facts) continue;
        const ClaimFileFacts& f = *facts;
        EXPECT_EQ(
            QStringList({f.sender, f.interchangeNumber, f.usage, f.groupNumbers.join(','),
                         f.transactionNumbers.join(','), QString::number(f.claimCount),
                         f.patientControlNumbers.join(','), QString::number(f.totalChargeCents)})
                .join('|'),
            "SMILEDENTAL|000000905|P|41|0001,0002|3|PCN-1,PCN-2,PCN-3|17075");
    }
    EXPECT_EQ(readClaimFile(claimFile("000000001", 'T'))->usage, "T");
    EXPECT_EQ(readJoinedClaimFile(good + claimFile("000000001", 'T'))->usage, "T");  // a join
    EXPECT_EQ(readJoinedClaimFile(good + good)->totalChargeCents, 2 * 17075);
    EXPECT_EQ(readClaimFile(replaced(good, "*20***", "*-20.000***"))->totalChargeCents, 13075);
}
