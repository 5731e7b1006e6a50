#pragma once
// X12 interchanges as claims travel: the envelope of a claim file (837) checked and its
// facts read. Pure rules: bytes in, facts or a reason out.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "base/result.h"

namespace zv::x12 {

// What the ledger keeps of a claim file and the guards check.
struct ClaimFileFacts {
    QString sender;                     // ISA06, trailing blanks trimmed
    QString interchangeNumber;          // ISA13
    QString interchangeTime;            // ISA09 and ISA10: "261207 1004"
    QString usage;                      // ISA15: "P" production, "T" test
    QStringList groupNumbers;           // GS06 of each functional group, in file order
    QStringList transactionNumbers;     // ST02 of each transaction set, in file order
    int claimCount = 0;                 // CLM segments
    QStringList patientControlNumbers;  // CLM01 of each claim, in file order
    qint64 totalChargeCents = 0;        // sum of every CLM02, in cents
};

// True when the data is meant as an interchange: it begins with "ISA" (white space before
// it allowed). The claim file types 83P and 83D are checked as interchanges whatever
// they begin with.
bool looksLikeInterchange(QByteArrayView data);
// True for the claim file types that are X12 interchanges whatever they hold (83P, 83D;
// letter case ignored).
bool isInterchangeType(const QString& fileType);

// Reads a claim file's envelope and facts. Fails, with the reason in plain words for the
// question "The claim file NAME looks damaged: REASON. Send it anyway?", when: the ISA
// segment is not exactly 106 characters with its separators; IEA is missing; IEA02 is
// not ISA13 or IEA01 not the number of groups; a GE02 is not its GS06 or a GE01 not the
// number of its transactions; an SE02 is not its ST02 or an SE01 not its number of
// segments (ST and SE included); or the data ends inside an envelope.
[[nodiscard]] Result<ClaimFileFacts> readClaimFile(QByteArrayView data);

// Sender (ISA06, trailing blanks trimmed), interchange control number (ISA13) and date and
// time (ISA09, ISA10) from
// the header alone; for telling a claim file sent before from its first bytes. Empty
// when the data does not begin with a sound ISA header.
struct InterchangeId {
    QString sender;
    QString interchangeNumber;
    QString interchangeTime;  // ISA09 and ISA10: "261207 1004"
    bool operator==(const InterchangeId&) const = default;
};
std::optional<InterchangeId> readInterchangeId(QByteArrayView head);

// The same for the file a join makes of several claim files (AVO, DEN): interchanges
// one after another, each checked as above. The facts cover all of them; sender and
// number are the first one's, usage "T" when any of them is a test.
[[nodiscard]] Result<ClaimFileFacts> readJoinedClaimFile(QByteArrayView data);

}  // namespace zv::x12
