// The answers core: each report kind read from made-up reports of one practice (Bright
// Smile Dental) and its patients, damaged and hostile reports refused with a reason, the
// claim state rule as a table of answer sequences in every fetch order, the practice's
// scenarios from the reports to the file's status line, and the status lines themselves.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <numeric>

#include "../../fuzz/fuzz_answers_check.h"
#include "answers/claim_state.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using namespace zv::answers;

// An interchange around `segments`; "SE" and "GE" alone are completed with their counts.
QByteArray x12(const QList<QByteArray>& segments, const QByteArray& isa13 = "000000905") {
    QByteArray out =
        "ISA*00*          *00*          *ZZ*ZODCLEARING    *ZZ*BRIGHTSMILE    "
        "*261201*0900*^*00501*" +
        isa13 + "*0*P*:~\n";
    int groups = 0, sets = 0, count = 0;
    QByteArray gs06, st02;
    for (QByteArray s : segments) {
        if (s.startsWith("GS*")) {
            ++groups;
            sets = 0;
            gs06 = s.split('*').value(6);
        }
        if (s.startsWith("ST*")) {
            ++sets;
            count = 0;
            st02 = s.split('*').value(2);
        }
        ++count;
        if (s == "SE") s = "SE*" + QByteArray::number(count) + "*" + st02;
        if (s == "GE") s = "GE*" + QByteArray::number(sets) + "*" + gs06;
        out += s + "~\n";
    }
    return out + "IEA*" + QByteArray::number(groups) + "*" + isa13 + "~\n";
}

// One transaction of `type` in a group of its own.
QList<QByteArray> set(const QByteArray& type, const QByteArray& gs06, QList<QByteArray> body,
                      const QByteArray& st02 = "0001") {
    body.prepend("ST*" + type + "*" + st02);
    body.prepend("GS*XX*ZOD*BRIGHTSMILE*20261201*0900*" + gs06 + "*X*005010");
    return body << "SE"
                << "GE";
}

// K90042.83P: group 000000061 with sets 0001 (batch B1: PAT-A1, PAT-A2) and 0002 (B2:
// PAT-B1); group 62 with set 0003 (B3: PAT-C1, another provider).
const QByteArray kSent = x12({"GS*HC*BRIGHTSMILE*ZOD*20261201*0900*000000061*X*005010X224A2",
                              "ST*837*0001",
                              "BHT*0019*00*B1*20261201*0900*CH",
                              "HL*1**20*1",
                              "NM1*85*2*BRIGHT SMILE DENTAL*****XX*1234567893",
                              "REF*EI*111223333",
                              "HL*2*1*22*0",
                              "NM1*IL*1*DOE*JANE",
                              "CLM*PAT-A1*100***11:B:1*Y*A*Y*Y",
                              "CLM*PAT-A2*50.5***11:B:1*Y*A*Y*Y",
                              "SE",
                              "ST*837*0002",
                              "BHT*0019*00*B2*20261201*0900*CH",
                              "HL*1**20*1",
                              "NM1*85*2*BRIGHT SMILE DENTAL*****XX*1234567893",
                              "HL*2*1*22*0",
                              "CLM*PAT-B1*25***11:B:1*Y*A*Y*Y",
                              "SE",
                              "GE",
                              "GS*HC*BRIGHTSMILE*ZOD*20261201*0900*62*X*005010X224A2",
                              "ST*837*0003",
                              "BHT*0019*00*B3*20261201*0900*CH",
                              "HL*1**20*1",
                              "NM1*85*2*LAKESIDE ORTHO*****XX*1999999984",
                              "HL*2*1*22*0",
                              "CLM*PAT-C1*20***11:B:1*Y*A*Y*Y",
                              "SE",
                              "GE"});

const QDateTime kSentAt(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);

// A 277CA from `source` ("AY*ZOD" or "PR*AETNA") of one batch and its provider's claims.
QByteArray status277(const QByteArray& source, QList<QByteArray> batches) {
    batches.prepend("NM1*" + source.left(3) + "2*" + source.mid(3));
    batches.prepend("HL*1**20*1");
    batches.prepend("BHT*0085*08*TRACE*20261202*1000*TH");
    return x12(set("277", "8", batches));
}

QList<QByteArray> batch(const QByteArray& bht03, const QByteArray& npi,
                        const QList<QByteArray>& claims) {
    QList<QByteArray> out = {"HL*2*1*21*1", "NM1*41*2*BRIGHT SMILE DENTAL", "TRN*2*" + bht03};
    out << "HL*3*2*19*1"
        << "NM1*85*2*PROVIDER*****XX*" + npi;
    for (const QByteArray& c : claims)
        if (c.startsWith("STC*")) out << c;  // the provider's own status
    for (const QByteArray& c : claims) {
        if (c.startsWith("STC*")) continue;
        const QList<QByteArray> parts = c.split(' ');  // "PAT-A1 A2:20"
        out << "HL*4*3*PT"
            << "NM1*QC*1*DOE*JANE"
            << "TRN*2*" + parts[0] << "STC*" + parts[1] + "*20261202*WQ";
    }
    return out;
}

TEST(Readers, A277caWithEveryLevel) {
    const QByteArray report = x12(set("277", "8",
                                      {"BHT*0085*08*T1*20261202*1000*TH",
                                       "HL*1**20*1",
                                       "NM1*AY*2*ZOD CLEARINGHOUSE",
                                       "HL*2*1*21*1",
                                       "NM1*41*2*BRIGHT SMILE DENTAL",
                                       "TRN*2*B1",
                                       "STC*A1:19*20261202*WQ*150.5",
                                       "HL*3*2*19*1",
                                       "NM1*85*2*BRIGHT SMILE DENTAL*****XX*1234567893",
                                       "STC*A7:562:85*20261202*U",
                                       "HL*4*3*PT",
                                       "NM1*QC*1*DOE*JANE",
                                       "TRN*2*PAT-A1",
                                       "STC*A2:20*20261202*WQ*100",
                                       "REF*1K*PAYER-77",
                                       "HL*5*3*PT",
                                       "TRN*2*PAT-A2",
                                       "STC*A1:19*20261202*U*50.5******A7:21:PR*A6:35*NOT ELIGIBLE",
                                       "SVC*HC:D0120*50.5",
                                       "STC*A7:453*20261202*U",
                                       "REF*FJ*LINE-1"}));
    const auto read = readAnswers(report);
    ASSERT_TRUE(read.ok()) << read.reason().toStdString();
    ASSERT_EQ(read->kind, ReportKind::Status277CA);
    ASSERT_EQ(read->statuses.size(), 1u);
    const StatusSource& source = read->statuses[0];
    EXPECT_TRUE(source.clearinghouse);
    ASSERT_EQ(source.receivers.size(), 1u);
    const ReceiverStatus& receiver = source.receivers[0];
    EXPECT_EQ(receiver.batch, "B1");
    EXPECT_EQ(receiver.statuses.chargeCents, 15050);
    ASSERT_EQ(receiver.providers.size(), 1u);
    const ProviderStatus& provider = receiver.providers[0];
    EXPECT_EQ(provider.id, "1234567893");
    ASSERT_EQ(provider.statuses.codes.size(), 1u);
    EXPECT_EQ(provider.statuses.codes[0].entity, "85");
    ASSERT_EQ(provider.claims.size(), 2u);
    EXPECT_EQ(provider.claims[0].payerClaimNumber, "PAYER-77");
    const ClaimStatus& second = provider.claims[1];
    // STC01, STC10 and STC11 all count; the service line keeps its own.
    ASSERT_EQ(second.statuses.codes.size(), 3u);
    EXPECT_EQ(second.statuses.codes[1].category, "A7");
    EXPECT_EQ(second.statuses.codes[2].category, "A6");
    EXPECT_EQ(second.statuses.message, "NOT ELIGIBLE");
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(second.lines[0].service, "HC:D0120");
    EXPECT_EQ(second.lines[0].control, "LINE-1");
    EXPECT_EQ(second.lines[0].statuses.codes[0].category, "A7");
    EXPECT_EQ(reportSays(*read),
              "277CA: ZOD: 2 claims, 1 rejected, 1 batch or provider rejections");
}

TEST(Readers, A999WithSeveralGroupsAndSets) {
    QList<QByteArray> body =
        set("999", "7",
            {"AK1*HC*61*005010X224A2", "AK2*837*0001*005010X224A2", "IK5*A", "AK2*837*0002",
             "IK3*CLM*12**8", "IK4*2*782*6*50.5X", "IK4*5:1*1331*7*99", "IK5*R*5", "AK9*P*2*2*1"});
    body += set("999", "8", {"AK1*HC*62", "AK2*837*0003", "IK5*A", "AK9*A*1*1*1"}, "0002");
    const auto read = readAnswers(x12(body));
    ASSERT_TRUE(read.ok()) << read.reason().toStdString();
    ASSERT_EQ(read->groups.size(), 2u);
    const GroupAck& first = read->groups[0];
    EXPECT_EQ(first.group, "61");
    EXPECT_EQ(first.code, "P");
    ASSERT_EQ(first.sets.size(), 2u);
    EXPECT_EQ(first.sets[1].code, "R");
    EXPECT_EQ(first.sets[1].errors,
              "CLM segment 12: segment has data element errors; element 2: invalid character "
              "(50.5X); element 5-1: invalid code value (99); one or more segments in error");
    EXPECT_EQ(read->groups[1].code, "A");
    EXPECT_EQ(reportSays(*read),
              "999: group 61 partly accepted (set 0002 REJECTED); 999: group 62 accepted");
}

// One 835 with a payment, a denial, a reversal and its correction, and a PLB: it adds up.
const QByteArray kRemittance = x12(
    set("835", "9",
        {"BPR*I*90*C*ACH*CCP*01*999999999*DA*123456*1512345678**01*999988880*DA*98765*20261220",
         "TRN*1*123456*1512345678", "N1*PR*AETNA", "N1*PE*BRIGHT SMILE DENTAL*XX*1234567893",
         "LX*1", "CLP*PAT-A1*1*100*80*20*12*CLAIM-1", "CAS*PR*1*20",
         "CLP*PAT-A2*4*50.5*0**12*CLAIM-2", "CAS*CO*50*50.5", "CLP*PAT-B1*22*-25*-20**12*CLAIM-3",
         "CLP*PAT-B1*1*25*25**12*CLAIM-3", "SVC*HC:D0120*25*25", "CAS*CO*45*0",
         "CLP*PAT-C1*2*20*10*10*12*CLAIM-4", "PLB*1234567893*20261231*WO:ADJ-1*-5*L6:INT*10"}));

TEST(Readers, An835WithADenialAReversalAndAProviderAdjustment) {
    const auto read = readAnswers(kRemittance);
    ASSERT_TRUE(read.ok()) << read.reason().toStdString();
    ASSERT_EQ(read->remittances.size(), 1u);
    const Remittance& r = read->remittances[0];
    EXPECT_EQ(r.payer, "AETNA");
    EXPECT_EQ(r.checkNumber, "123456");
    EXPECT_EQ(r.date, QDate(2026, 12, 20));
    EXPECT_EQ(r.totalCents, 9000);
    ASSERT_EQ(r.claims.size(), 5u);
    EXPECT_EQ(r.claims[2].paidCents, -2000);
    EXPECT_EQ(r.claims[3].adjustments.size(), 1u);  // the service line's CAS, with its claim
    EXPECT_EQ(r.claimsPaidCents, 9500);             // the reversal taken off
    EXPECT_EQ(r.adjustmentsCents, 500);
    EXPECT_EQ(r.differenceCents, 0);
    const auto off = readAnswers(QByteArray(kRemittance).replace("BPR*I*90*", "BPR*I*91.5*"));
    EXPECT_EQ(off->remittances[0].differenceCents, 150);
}

TEST(Readers, DamagedOrHostileReportsAreRefusedWithAReason) {
    QByteArray cut = kRemittance;
    cut.chop(40);
    const QByteArray commas = QByteArray(kRemittance).replace('*', ',');
    // clang-format off
    const std::pair<QByteArray, const char*> rows[] = {
        {cut, "is missing"},
        {kRemittance.left(60), "cut short"},
        {commas.left(3) + "*" + commas.mid(4), "not 106 characters"},
        {QByteArray(kRemittance).replace("SE*17*0001", "SE*999999999999*0001"), "SE01 says"},
        {QByteArray(kRemittance).replace("IEA*1*", "IEA*4000000000*"), "IEA01 says"},
        {QByteArray(kRemittance).replace("*80*20*", "*8.0.0*20*"), "(CLP04) of claim PAT-A1 is not"},
        {QByteArray(kRemittance).replace("*100*80*", "*1000000000000*80*"), "(CLP03)"},
        {QByteArray(kRemittance).replace("*-5*", "*.001*"), "(PLB)"},
        {x12(set("835", "9", {"CAS*CO*45*1"})), "before any claim"},
        {x12(set("277", "8", {"HL*4*3*PT", "TRN*2*PAT-A1", "STC*A7:21*20261202*U*1O"})), "(STC04) of claim PAT-A1"},
        {x12(set("277", "8", {"HL*1**99*1"})), "a level (HL) it should not have: 99"},
        {x12(set("277", "8", {"SVC*HC:D0120*1"})), "outside a claim"},
        {x12(set("999", "7", {"AK2*837*0001"})), "outside a group"},
        {x12(set("999", "7", {"AK1*HC*1", "IK5*R"})), "outside a transaction set"},
        {kRemittance + "garbage", "more data after the end"},
    };
    // clang-format on
    for (const auto& [bytes, reason] : rows) {
        const auto read = readAnswers(bytes);
        EXPECT_FALSE(read.ok()) << reason;
        EXPECT_TRUE(read.reason().contains(reason)) << read.reason().toStdString();
    }
    const auto text = readAnswers("Monthly statement\r\n");
    EXPECT_TRUE(text.ok() && text->kind == ReportKind::Other);
    // A plain 277 without receiver and provider levels still names its claims.
    const auto plain =
        readAnswers(x12(set("277", "8", {"HL*1**20*1", "HL*4*3*PT", "TRN*2*PAT-A1"})));
    ASSERT_TRUE(plain.ok()) << plain.reason().toStdString();
    EXPECT_EQ(plain->statuses[0].receivers[0].providers[0].claims[0].patientControlNumber,
              "PAT-A1");
}

TEST(Readers, TheSentClaimsWithWhatAnswersNameThemBy) {
    const auto claims = readSentClaims(kSent);
    ASSERT_TRUE(claims.ok()) << claims.reason().toStdString();
    ASSERT_EQ(claims->size(), 4u);
    const SentClaim& c = (*claims)[3];
    EXPECT_EQ(QStringList({c.patientControlNumber, c.interchange, c.group, c.set, c.batch,
                           c.providerNpi, QString::number(c.chargeCents)}),
              QStringList({"PAT-C1", "000000905", "62", "0003", "B3", "1999999984", "2000"}));
    EXPECT_EQ((*claims)[0].providerTaxId, "111223333");
    EXPECT_TRUE(sameControlNumber(u"61", u"000000061") && !sameControlNumber(u"61", u"0610"));
}

// ---- The claim state rule

AnswerEvent answer(Level level, const char* source, Verdict verdict, const char* code,
                   const char* report, qint64 paid = 0, const char* check = "", QDate date = {}) {
    AnswerEvent e;
    e.level = level;
    e.source = source;
    e.byClearinghouse = QLatin1String(source) == QLatin1String("ZOD");
    e.verdict = verdict;
    e.code = code;
    e.report = report;
    e.paidCents = paid;
    e.checkNumber = check;
    e.checkDate = date;
    e.payerClaimNumber = check[0] ? "CLAIM-1" : "";
    return e;
}

using enum Level;
using enum Verdict;
const QDate kDec20(2026, 12, 20), kDec27(2026, 12, 27);

struct StateRow {
    const char* name;
    std::vector<AnswerEvent> events;
    State state;
    const char* by;
    const char* code;
    qint64 paid = 0;
};

// clang-format off
const StateRow kStateRows[] = {
    {"TwoZod277sRejectionStays", {answer(Claim, "ZOD", Rejected, "A7", "R1.277"),
        answer(Receiver, "ZOD", Accepted, "A1", "R2.277"), answer(Claim, "ZOD", Accepted, "A2", "R2.277")},
     State::Rejected, "ZOD", "A7"},
    {"GroupRejectedSetAccepted", {answer(Group, "ZOD", Rejected, "AK9 R", "R.999"),
        answer(Set, "ZOD", Accepted, "IK5 A", "R.999")}, State::Rejected, "ZOD", "AK9 R"},
    {"SetRejectedThenZod277", {answer(Group, "ZOD", Info, "AK9 P", "R.999"),
        answer(Set, "ZOD", Rejected, "IK5 R", "R.999"), answer(Receiver, "ZOD", Accepted, "A1", "R.277")},
     State::Rejected, "ZOD", "IK5 R"},
    {"SetErrorsNamedOverGroup", {answer(Group, "ZOD", Rejected, "AK9 R", "R.999"),
        answer(Set, "ZOD", Rejected, "IK5 R", "R.999")}, State::Rejected, "ZOD", "IK5 R"},
    {"Ta1RejectionFirst", {answer(Interchange, "ZOD", Rejected, "TA1 R", "R.TA1"),
        answer(Set, "ZOD", Rejected, "IK5 R", "R.999")}, State::Rejected, "ZOD", "TA1 R"},
    {"PayerRejectsAfterZod", {answer(Claim, "ZOD", Accepted, "A2", "R1.277"),
        answer(Claim, "AETNA", Rejected, "A7", "R5.277")}, State::Rejected, "AETNA", "A7"},
    {"SiblingAcceptedByPayer", {answer(Claim, "ZOD", Accepted, "A2", "R1.277"),
        answer(Receiver, "AETNA", Accepted, "A1", "R5.277")}, State::Accepted, "AETNA", "A1"},
    {"ForwardedAndSplitAccept", {answer(Claim, "ZOD", Accepted, "A0", "R.277"),
        answer(Claim, "ZOD", Accepted, "A5", "R.277")}, State::Accepted, "ZOD", "A0"},
    {"ProviderRejection", {answer(Provider, "ZOD", Rejected, "A7", "R.277"),
        answer(Set, "ZOD", Accepted, "IK5 A", "R.999")}, State::Rejected, "ZOD", "A7"},
    {"LineDoesNotDecide", {answer(Line, "ZOD", Rejected, "A7", "R.277"),
        answer(Claim, "ZOD", Accepted, "A2", "R.277")}, State::Accepted, "ZOD", "A2"},
    {"PaymentSettles", {answer(Claim, "ZOD", Rejected, "A7", "R.277"),
        answer(Claim, "AETNA", Paid, "CLP02 1", "R.835", 8000, "123456", kDec20)},
     State::Paid, "AETNA", "CLP02 1", 8000},
    {"ReversalUndoesPayment", {answer(Claim, "AETNA", Paid, "CLP02 1", "R8.835", 2000, "123456", kDec20),
        answer(Claim, "AETNA", Reversed, "CLP02 22", "R9.835", -2000, "777", kDec27)},
     State::Reversed, "AETNA", "CLP02 22"},
    {"ReversalAndCorrection", {answer(Claim, "AETNA", Paid, "CLP02 1", "R8.835", 2000, "123456", kDec20),
        answer(Claim, "AETNA", Reversed, "CLP02 22", "R9.835", -2000, "777", kDec27),
        answer(Claim, "AETNA", Paid, "CLP02 1", "R9.835", 2500, "777", kDec27),
        answer(Set, "ZOD", Accepted, "IK5 A", "R.999")}, State::Paid, "AETNA", "CLP02 1", 2500},
    {"DeniedThenPaidOnAppeal", {answer(Claim, "AETNA", Denied, "CLP02 4", "R8.835", 0, "123456", kDec20),
        answer(Claim, "AETNA", Paid, "CLP02 1", "R9.835", 5050, "777", kDec27)},
     State::Paid, "AETNA", "CLP02 1", 5050},
    {"Denied", {answer(Claim, "ZOD", Accepted, "A2", "R.277"),
        answer(Claim, "AETNA", Denied, "CLP02 4", "R.835", 0, "123456", kDec20)},
     State::Denied, "AETNA", "CLP02 4"},
    {"InfoOnlyIsAnAnswer", {answer(Group, "ZOD", Info, "AK9 P", "R.999")}, State::Sent, "", ""},
    {"NothingForThreeDays", {}, State::Unanswered, "", ""},
};
// clang-format on

TEST(ClaimState, TheSameAnswersInAnyOrderGiveTheSameState) {
    const QDateTime now = kSentAt.addDays(3);
    for (const StateRow& row : kStateRows) {
        std::vector<int> order(row.events.size());
        std::iota(order.begin(), order.end(), 0);
        do {
            std::vector<AnswerEvent> events;
            for (const int i : order) events.push_back(row.events[i]);
            const ClaimVerdict v = decide(events, kSentAt, now);
            EXPECT_EQ(stateText(v.state), stateText(row.state)) << row.name;
            EXPECT_EQ(v.by, QString(row.by)) << row.name;
            EXPECT_EQ(v.code, QString(row.code)) << row.name;
            EXPECT_EQ(v.paidCents, row.paid) << row.name;
        } while (std::next_permutation(order.begin(), order.end()));
    }
    EXPECT_EQ(decide(std::span<const AnswerEvent>(), kSentAt, kSentAt.addDays(1)).state,
              State::Sent);
}

// ---- The practice's scenarios, from the reports to the file's line, in every fetch order

QList<QByteArray> acks(const QByteArray& gs06, const QList<QByteArray>& sets, const char* ak9,
                       const QByteArray& st02) {
    QList<QByteArray> body = {"AK1*HC*" + gs06};
    for (const QByteArray& s : sets) body << "AK2*837*" + s.left(4) << "IK5*" + s.mid(5);
    return set("999", st02, body << QByteArray("AK9*") + ak9, st02);
}

QByteArray ack999Of(const char* ak9a, const QList<QByteArray>& setsA) {
    return x12(acks("61", setsA, ak9a, "0001") + acks("62", {"0003 A"}, "A", "0002"));
}

const QByteArray kAllAccepted = ack999Of("A", {"0001 A", "0002 A"});
const QByteArray kZodAcceptsAll =
    status277("AY*ZOD CLEARINGHOUSE", batch("B1", "1234567893", {"PAT-A1 A2:20", "PAT-A2 A2:20"}) +
                                          batch("B2", "1234567893", {"PAT-B1 A2:20"}) +
                                          batch("B3", "1999999984", {"PAT-C1 A2:20"}));

struct Scenario {
    const char* name;
    std::vector<std::pair<QString, QByteArray>> reports;
    const char* line;
};

// clang-format off
const Scenario kScenarios[] = {
    {"TwoZod277sInOneFetch", {{"R0.999", kAllAccepted},
        {"R1.277", status277("AY*ZOD", batch("B1", "1234567893", {"PAT-A2 A7:21"}))},
        {"R2.277", status277("AY*ZOD", batch("B1", "1234567893", {"PAT-A1 A2:20"}))}},
     "K90042.83P: 3 claims accepted, 1 REJECTED by ZOD (patient control number PAT-A2: A7 "
     "invalid information) - see report R1.277"},
    {"A999RejectingOneGroupOfTwo", {{"R2.999", x12(set("999", "7", {"AK1*HC*61", "AK2*837*0001",
        "IK3*CLM*12**8", "IK4*2*782*6*50.5X", "IK5*R*5", "AK2*837*0002", "IK5*R", "AK9*R*2*2*0"})
        + acks("62", {"0003 A"}, "A", "0002"))}},
     "K90042.83P: 1 claim accepted, 3 REJECTED by ZOD (patient control numbers PAT-A1, PAT-A2: "
     "IK5 R transaction set rejected: CLM segment 12: segment has data element errors; element 2: "
     "invalid character (50.5X); one or more segments in error; PAT-B1: IK5 R transaction set "
     "rejected) - see report R2.999"},
    {"SetRejectedThenZodListsTheOthers", {{"R3.999", ack999Of("P", {"0001 A", "0002 R"})},
        {"R4.277", status277("AY*ZOD", batch("B1", "1234567893", {"PAT-A1 A2:20", "PAT-A2 A2:20"})
            + batch("B3", "1999999984", {"PAT-C1 A2:20"}))}},
     "K90042.83P: 3 claims accepted, 1 REJECTED by ZOD (patient control number PAT-B1: IK5 R "
     "transaction set rejected) - see report R3.999"},
    {"PayerRejectsOneAfterZodAcceptedAll", {{"R0.999", kAllAccepted}, {"R4.277", kZodAcceptsAll},
        {"R5.277", status277("PR*AETNA", batch("AET778", "1234567893", {"PAT-A2 A7:21:PR"}))}},
     "K90042.83P: 3 claims accepted, 1 REJECTED by AETNA (patient control number PAT-A2: A7 "
     "invalid information) - see report R5.277"},
    {"ForwardedSplitAndAProviderRejection", {{"R6.277", status277("AY*ZOD",
        batch("B1", "1234567893", {"PAT-A1 A0:16", "PAT-A2 A5:20"}) +
        batch("B2", "1234567893", {"PAT-B1 A2:20"}) +
        batch("B3", "1999999984", {"STC*A7:562:85*20261202*U"}))}},
     "K90042.83P: 3 claims accepted, 1 REJECTED by ZOD (patient control number PAT-C1: A7 "
     "invalid information) - see report R6.277"},
    {"PaidDeniedReversedAndCorrected", {{"R0.999", kAllAccepted},
        {"R7.835", x12(set("835", "9", {"BPR*I*20*C*CHK************20261213", "TRN*1*111",
                                         "N1*PR*AETNA", "CLP*PAT-B1*1*25*20**12*CLAIM-3"}))},
        {"R8.835", kRemittance}},
     "K90042.83P: paid 115.00 of 195.50 (check 123456, 12-20-2026); 1 claim denied (PAT-A2)"},
};
// clang-format on

QString lineOf(const std::vector<SentFile>& files, int f, const std::vector<MatchedEvent>& all,
               const QDateTime& now) {
    std::vector<MatchedEvent> mine;
    std::copy_if(all.begin(), all.end(), std::back_inserter(mine),
                 [&](const MatchedEvent& m) { return m.file == f; });
    const std::vector<ClaimVerdict> verdicts = decideFile(files[f], mine, now);
    std::vector<FileClaim> claims;
    for (size_t i = 0; i < verdicts.size(); ++i)
        claims.push_back(
            {files[f].claims[i].patientControlNumber, files[f].claims[i].chargeCents, verdicts[i]});
    return fileLine(files[f].name, files[f].sentAt.date(), claims);
}

TEST(Scenarios, FromTheReportsToTheFileLineInEveryFetchOrder) {
    // An older file of the same group and set numbers, never answered: nothing lands on it.
    const QByteArray older =
        x12({"GS*HC*BRIGHTSMILE*ZOD*20261125*0900*61*X*005010X224A2", "ST*837*0001",
             "BHT*0019*00*B0*20261125*0900*CH", "CLM*PAT-A2*15***11:B:1*Y*A*Y*Y", "SE", "GE"},
            "000000904");
    const std::vector<SentFile> files = {
        {"K90041.83P", kSentAt.addDays(-6), *readSentClaims(older)},
        {"K90042.83P", kSentAt, *readSentClaims(kSent)}};
    const Matcher matcher(files);
    const QDateTime fetched = kSentAt.addSecs(3600), now = kSentAt.addSecs(7200);
    for (const Scenario& row : kScenarios) {
        std::vector<int> order(row.reports.size());
        std::iota(order.begin(), order.end(), 0);
        do {
            std::vector<MatchedEvent> events;
            for (size_t k = 0; k < order.size(); ++k) {
                const auto& [name, bytes] = row.reports[order[k]];
                const auto read = readAnswers(bytes);
                ASSERT_TRUE(read.ok()) << row.name << read.reason().toStdString();
                const Matched m = matcher.match(*read, name, fetched.addSecs(60 * k));
                events.insert(events.end(), m.events.begin(), m.events.end());
            }
            EXPECT_EQ(lineOf(files, 1, events, now), row.line) << row.name;
            EXPECT_EQ(lineOf(files, 0, events, now),
                      "K90041.83P sent 11-25-2026: no answer from ZOD yet. Call ZOD.")
                << row.name;
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

// A rejection of a claim sent from elsewhere is told with its report; an acceptance is not.
TEST(Scenarios, OnlyRejectionsOfClaimsNotSentFromHereAreTold) {
    const std::vector<SentFile> files = {{"K90042.83P", kSentAt, *readSentClaims(kSent)}};
    const auto read = readAnswers(
        status277("AY*ZOD", batch("B0", "1234567893", {"PAT-Z8 A2:20", "PAT-Z9 A7:21"})));
    ASSERT_TRUE(read.ok()) << read.reason().toStdString();
    const Matched m = Matcher(files).match(*read, "R5.277", kSentAt.addSecs(3600));
    EXPECT_EQ(m.unplaced, QStringList{"R5.277: claim PAT-Z9 REJECTED by ZOD (A7 invalid "
                                      "information); no claim file sent from here has it"});
}

// ---- The lines and notices as people read them

FileClaim fileClaim(const char* number, qint64 charge, State state, const char* by = "ZOD",
                    const char* code = "A2", const char* reason = "accepted",
                    const char* report = "R1234.277") {
    FileClaim c{number, charge, {}};
    c.verdict.state = state;
    c.verdict.by = by;
    c.verdict.code = code;
    c.verdict.reason = reason;
    c.verdict.report = report;
    return c;
}

TEST(FileLine, TellsEachFileByItsClaims) {
    std::vector<FileClaim> twelve(11, fileClaim("PAT", 10000, State::Accepted));
    const std::vector<FileClaim> allAccepted = twelve;
    twelve.push_back(
        fileClaim("1234-A", 10000, State::Rejected, "ZOD", "A7", "invalid information"));
    FileClaim paid = fileClaim("1233-B", 120000, State::Paid, "AETNA", "CLP02 1");
    paid.verdict.paidCents = 123456;
    paid.verdict.payments = {{"123456", QDate(2026, 12, 20), "R8.835", 0}};
    const FileClaim denied = fileClaim("1234-A", 30000, State::Denied, "AETNA", "CLP02 4");
    FileClaim offPaid = paid;
    offPaid.verdict.payments[0].differenceCents = -150;
    const QDate on(2026, 12, 1);
    const auto line = [&](std::vector<FileClaim> claims) {
        return fileLine("K90042.83P", on, claims).toStdString();
    };
    EXPECT_EQ(line(allAccepted), "K90042.83P: accepted by ZOD");
    EXPECT_EQ(line(twelve),
              "K90042.83P: 11 claims accepted, 1 REJECTED by ZOD (patient control number 1234-A: "
              "A7 invalid information) - see report R1234.277");
    EXPECT_EQ(line({fileClaim("1234-A", 100, State::Rejected, "PAYER NAME", "A7",
                              "invalid information", "R5678.277")}),
              "K90042.83P: 1 claim REJECTED by PAYER NAME (patient control number 1234-A: A7 "
              "invalid information) - see report R5678.277");
    EXPECT_EQ(line({paid, denied}),
              "K90042.83P: paid 1,234.56 of 1,500.00 (check 123456, 12-20-2026); 1 claim denied "
              "(1234-A)");
    EXPECT_EQ(line({offPaid, denied}),
              "K90042.83P: paid 1,234.56 of 1,500.00 (check 123456, 12-20-2026); remittance "
              "R8.835 does not add up (difference -1.50); 1 claim denied (1234-A)");
    EXPECT_EQ(line({fileClaim("1", 1, State::Unanswered), fileClaim("2", 1, State::Unanswered)}),
              "K90042.83P sent 12-01-2026: no answer from ZOD yet. Call ZOD.");
    EXPECT_EQ(
        line({fileClaim("1", 1, State::Accepted, "AETNA"), fileClaim("2", 1, State::Accepted)}),
        "K90042.83P: accepted by ZOD and AETNA");

    const auto notice = [](std::vector<FileClaim> changed) {
        return noticeText("K90042.83P", changed).toStdString();
    };
    EXPECT_EQ(notice({twelve.back()}),
              "ZOD rejected 1 claim of K90042.83P - open the program to see which");
    EXPECT_EQ(notice({denied, fileClaim("9", 1, State::Rejected, "AETNA"),
                      fileClaim("8", 1, State::Rejected, "AETNA")}),
              "AETNA rejected 2 claims of K90042.83P; AETNA denied 1 claim of K90042.83P - open "
              "the program to see which");
    EXPECT_EQ(notice({paid}), "");
    EXPECT_EQ(notice({fileClaim("1", 1, State::Unanswered)}),
              "ZOD has not answered K90042.83P for two days - call ZOD");
}

TEST(Fuzz, EveryKeptInputPassesTheCheck) {
    const QDir dir(ZV_SOURCE_DIR "/fuzz/corpus/fuzz_answers");
    ASSERT_FALSE(dir.isEmpty());
    for (const QString& name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(zv::fuzz::checkAnswers(file.readAll()), "") << name.toStdString();
    }
}

}  // namespace
