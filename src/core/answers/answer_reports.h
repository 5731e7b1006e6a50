#pragma once
// What the clearinghouse and the payers answer about the claims we sent, as their reports
// say it: the interchange acknowledgment (TA1), the implementation acknowledgment (999),
// the claim acknowledgment (277CA) and the remittance advice (835). Pure rules: the
// report's bytes in, its answers or the reason it cannot be read out. Money is in cents,
// read exactly.
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <optional>
#include <vector>

#include "base/result.h"

namespace zv::answers {

// TA1: what the clearinghouse says of a whole interchange.
struct InterchangeAck {
    QString interchange;  // TA101: the ISA13 it answers
    QString code;         // TA104: A accepted, E accepted with errors, R rejected
    QString note;         // TA105: "000" when there is nothing to note
};

// 999: one transaction set (AK2 to IK5).
struct SetAck {
    QString set;     // AK202: the ST02 it answers
    QString code;    // IK501: A, E accepted; R, M, W, X rejected
    QString errors;  // what IK3, IK4 and IK502 to IK506 say is wrong, in words
};

// 999: one functional group (AK1 to AK9).
struct GroupAck {
    QString group;   // AK102: the GS06 it answers
    QString code;    // AK901: A, E, P (partly), R, M, W, X; empty when AK9 is missing
    QString errors;  // AK905 to AK909 in words
    std::vector<SetAck> sets;
};

// 277CA: one status composite (STC01, STC10 or STC11).
struct StatusCode {
    QString category;  // A0 forwarded .. A8 rejected
    QString status;    // the claim status code
    QString entity;    // whom the status is about
};

// Every STC of one loop.
struct Statuses {
    std::vector<StatusCode> codes;
    std::optional<qint64> chargeCents;  // STC04 of the last STC that has one
    QString message;                    // STC12
};

struct LineStatus {
    QString service;  // SVC01, as "HC:D0120"
    QString control;  // REF*FJ: the line item control number
    Statuses statuses;
};

// 2000D: one claim.
struct ClaimStatus {
    QString patientControlNumber;  // TRN02: the CLM01 we sent
    QString payerClaimNumber;      // REF*1K
    QString patientName;           // NM1*QC
    Statuses statuses;
    std::vector<LineStatus> lines;  // shown with the claim; they do not decide it
};

// 2000C: one billing provider.
struct ProviderStatus {
    QString idQualifier;  // NM108: XX for an NPI, FI for a tax ID
    QString id;           // NM109
    QString name;
    Statuses statuses;
    std::vector<ClaimStatus> claims;
};

// 2000B: the information receiver, that is one batch of claims we sent.
struct ReceiverStatus {
    QString batch;  // TRN02: the BHT03 of the claim file's transaction
    QString name;
    Statuses statuses;
    std::vector<ProviderStatus> providers;
};

// 2000A: who answers.
struct StatusSource {
    QString name;               // NM103
    bool clearinghouse = true;  // NM101 AY (or not said); PR is a payer
    std::vector<ReceiverStatus> receivers;
};

// 835: a CAS amount of a claim or of one of its service lines.
struct Adjustment {
    QString group;   // CAS01: CO, PR, OA, PI
    QString reason;  // the adjustment reason code
    qint64 cents = 0;
};

struct ClaimPayment {
    QString patientControlNumber;  // CLP01
    QString status;                // CLP02: 1/2/3 processed, 4 denied, 19-21 forwarded, 22 reversal
    qint64 chargeCents = 0;        // CLP03
    qint64 paidCents = 0;          // CLP04
    qint64 patientCents = 0;       // CLP05: the patient's responsibility
    QString payerClaimNumber;      // CLP07
    std::vector<Adjustment> adjustments;
};

// PLB: an amount the payer keeps back (positive) or adds (negative) outside the claims.
struct ProviderAdjustment {
    QString reason;     // PLB03-1
    QString reference;  // PLB03-2
    qint64 cents = 0;
};

// One payment (ST to SE).
struct Remittance {
    QString payer;          // N1*PR
    qint64 totalCents = 0;  // BPR02
    QString method;         // BPR04: CHK, ACH, NON, ...
    QDate date;             // BPR16; null when missing or not a date
    QString checkNumber;    // TRN02: the check or EFT trace number
    std::vector<ClaimPayment> claims;
    std::vector<ProviderAdjustment> adjustments;
    qint64 claimsPaidCents = 0;   // the sum of CLP04
    qint64 adjustmentsCents = 0;  // the sum of the PLB amounts
    // BPR02 less (claims paid less adjustments): zero when the payment adds up.
    qint64 differenceCents = 0;
};

enum class ReportKind { TA1, Ack999, Status277CA, Remittance835, Other };

struct ParsedReport {
    ReportKind kind = ReportKind::Other;  // what it holds first; Other for text that is not X12
    std::vector<InterchangeAck> interchanges;
    std::vector<GroupAck> groups;
    std::vector<StatusSource> statuses;
    std::vector<Remittance> remittances;
};

// Reads every answer of a report (several interchanges one after another allowed). Text
// that is not X12 is an Other report with no answers, not a failure; a failure is an
// interchange too damaged to trust, with the reason in words. Linear in the size of the
// data; what it keeps is bounded by kMaxAnswers.
[[nodiscard]] Result<ParsedReport> readAnswers(QByteArrayView data);
inline constexpr qsizetype kMaxAnswers = 1'000'000;  // claims, lines and statuses together

// One line for the report list: "999: group 41 partly accepted (set 2 REJECTED)".
QString reportSays(const ParsedReport& report);
QString reportKindText(ReportKind kind);

// "1,234.56"; "-20.00".
QString moneyText(qint64 cents);

}  // namespace zv::answers
