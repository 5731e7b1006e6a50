// The X12 rules: claim files sound and damaged (each envelope rule broken once), and
// what TA1, 999 and 277CA reports say about the files they answer.
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

// A report in one line: kind, then per answer what it names and its outcome letter.
QString described(const Report& r) {
    static const char* kinds[] = {"TA1", "999", "277CA", "835", "Other"};
    QString out = kinds[int(r.kind)];
    for (const Answer& a : r.answers) {
        out += " [" + a.interchangeNumber + a.groupNumber + "/" + a.transactionNumbers.join(',');
        if (!a.rejectedTransactions.isEmpty())
            out += " rejected " + a.rejectedTransactions.join(',');
        for (const ClaimAnswer& c : a.claims)
            out += " " + c.patientControlNumber + ":" + c.category + (c.accepted ? "+" : "-");
        out += a.outcome ? QString(" ") + "AEPR"[int(*a.outcome)] + "]" : " -]";
    }
    return out;
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

TEST(X12, ReportOutcomes) {
    const auto ack = [](QList<QByteArray> ik5, const QByteArray& ak9) {
        QList<QByteArray> body{"AK1*HC*41*005010X222A1"};
        for (int i = 0; i < ik5.size(); ++i)
            body << "AK2*837*000" + QByteArray::number(i + 1) << "IK5*" + ik5[i];
        if (!ak9.isEmpty()) body << "AK9*" + ak9 + "*2*2*1";
        return interchange(group("999", body));
    };
    const QList<QByteArray> ca = {"HL*1**20*1",
                                  "TRN*1*SOURCE1",
                                  "HL*2*1*21*1",
                                  "TRN*2*BATCH1",
                                  "STC*A1:19*20260512*WQ",
                                  "HL*3*2*19*1",
                                  "HL*4*3*PT",
                                  "TRN*2*PCN-1",
                                  "STC*A2:20:PR*20260512*WQ*150.5",
                                  "SVC*HC:D0120*150.5",
                                  "STC*A7:21*20260512*U",  // one service line's status only
                                  "HL*5*3*PT",
                                  "TRN*2*PCN-2",
                                  "STC*A1:19*20260512*WQ",
                                  "STC*A3:21*20260512*U",
                                  "HL*6*3*PT",
                                  "TRN*2*PCN-3",
                                  "STC*A8:562*20260512*U"};
    // clang-format off
    const std::pair<QByteArray, QString> rows[] = {
        {interchange({"TA1*000000905*260512*1004*A*000"}, 0), "TA1 [000000905/ A]"},
        {interchange({"TA1*000000905*260512*1004*R*022"}, 0), "TA1 [000000905/ R]"},
        {ack({"A", "A"}, "A"), "999 [41/0001,0002 A]"},
        {ack({"E", "A"}, "E"), "999 [41/0001,0002 E]"},
        {ack({"A", "R"}, "P"), "999 [41/0001,0002 rejected 0002 P]"},
        {ack({"R", "R"}, "R"), "999 [41/0001,0002 rejected 0001,0002 R]"},
        {ack({"A", "R"}, ""), "999 [41/0001,0002 rejected 0002 P]"},  // no AK9: from IK5
        {interchange(group("277", ca)), "277CA [/ PCN-1:A2+ PCN-2:A3- PCN-3:A8- P]"},
        {interchange(group("277", {"HL*4*3*PT", "TRN*2*PCN-9", "STC*A2:20*20260512"})), "277CA [/ PCN-9:A2+ A]"},
        {interchange(group("835", {"BPR*I*100*C"})), "835"},
        {interchange(group("824", {"BGN*11*1*20260512"})), "Other"},  // answers nothing of ours
        {"Your claims arrived. Thank you.", "Other"},
        {ack({"A"}, "A") + ack({"R"}, "R"), "999 [41/0001 A] [41/0001 rejected 0001 R]"},
    };
    // clang-format on
    for (const auto& [data, expected] : rows) {
        const Result<Report> report = readReport(data);
        ASSERT_TRUE(report.ok()) << report.reason().toStdString() << "\n" << data.toStdString();
        EXPECT_EQ(described(*report), expected);
    }
    const QByteArray cut = ack({"A"}, "A");
    EXPECT_EQ(readReport(cut.left(cut.indexOf("IEA"))).reason(),
              "the end of the interchange (IEA) is missing");
}
