#pragma once
// Answers as events on the claims we sent: each answer of a report becomes one event at the
// level it was given (interchange, group, set, batch, provider, claim, service line),
// placed on the claims it applies to. Matching is linear in the size of the report: every
// look-up is a hash look-up.
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <vector>

#include "answers/answer_reports.h"
#include "answers/sent_claims.h"

namespace zv::answers {

// Outer to inner.
enum class Level { Interchange, Group, Set, Receiver, Provider, Claim, Line };
// What one answer says of the claims it applies to. Info decides nothing (a service
// line's status, a group partly accepted, a code not known).
enum class Verdict { Accepted, Rejected, Paid, Denied, Reversed, Info };

struct AnswerEvent {
    QString report;  // the report's file name
    Level level = Level::Claim;
    QString source;               // "ZOD" or the payer's name
    bool byClearinghouse = true;  // the source is ZOD
    QString code;                 // "TA1 R", "AK9 P", "IK5 R", "A7", "CLP02 4"
    Verdict verdict = Verdict::Info;
    QString reason;  // in words: "invalid information"
    QString detail;  // the rest a person may need: status code, errors, service line
    QDateTime when;  // when the report was kept
    // 835 (and the payer's claim number of a 277CA)
    qint64 chargeCents = 0, paidCents = 0, patientCents = 0;
    QString checkNumber;
    QDate checkDate;
    QString payerClaimNumber;
    qint64 remittanceDifferenceCents = 0;  // of the whole 835 payment it came in
    bool operator==(const AnswerEvent&) const = default;
};

// Which claims of a file an event applies to. Control numbers are kept as controlKey.
struct Scope {
    Level level = Level::Claim;
    QString interchange;  // Interchange: ISA13
    QString group;        // Group, Set: GS06
    QString set;          // Set: ST02
    QString batch;        // Receiver, Provider: BHT03; empty for the whole file
    QString provider;     // Provider: the NPI or tax ID
    int claim = -1;       // Claim, Line: the claim's index in the file
    bool operator==(const Scope&) const = default;
};

struct MatchedEvent {
    int file = -1;  // index into the files the matcher was given
    Scope scope;
    AnswerEvent event;
};

struct Matched {
    std::vector<MatchedEvent> events;
    // Rejections and denials of nothing we sent, one line each ("R5.277: claim PAT-9
    // REJECTED by ZOD (A7 invalid information); no claim file sent from here has it").
    QStringList unplaced;
};

// True when the event in `scope` applies to `claim`, the claim at `index` of its file.
bool covers(const Scope& scope, const SentClaim& claim, int index);

// Of `candidates` (indexes into `files`), the file an answer kept at `when` means: the only
// one sent before it, or else the last sent. -1 when none was sent before it.
int pickFile(std::span<const SentFile> files, std::span<const int> candidates,
             const QDateTime& when);

// Places reports' answers on the sent files' claims. The files are kept by reference and
// must outlive the matcher; index them once, match any number of reports.
class Matcher {
public:
    explicit Matcher(std::span<const SentFile> files);
    Matched match(const ParsedReport& report, const QString& reportName,
                  const QDateTime& when) const;

    struct ClaimRef {
        int file = -1, claim = -1;
    };
    // The claim an answer naming `patientControlNumber` means: in `inFile` when given, else
    // in the file pickFile takes among those that hold it. Claims whose charge is `charge`
    // come first; `taken` claims (answered already by the same report) last, and the claim
    // found is added to them when the number is not the only one of its kind.
    ClaimRef findClaim(const QString& patientControlNumber, std::optional<qint64> charge,
                       int inFile, const QDateTime& when, QSet<qint64>* taken) const;
    std::span<const SentFile> files() const { return files_; }
    QList<int> filesWithGroup(const QString& group) const { return byGroup_.value(group); }
    QList<int> filesWithBatch(const QString& batch) const { return byBatch_.value(batch); }
    QList<int> filesWithInterchange(const QString& isa13) const {
        return byInterchange_.value(isa13);
    }
    QList<ClaimRef> claimsNumbered(const QString& patientControlNumber) const {
        return byClaim_.value(patientControlNumber);
    }
    bool hasSet(int file, const QString& group, const QString& set) const;

private:
    std::span<const SentFile> files_;
    QHash<QString, QList<int>> byInterchange_, byGroup_, byBatch_;
    QHash<QString, QList<ClaimRef>> byClaim_;
    std::vector<QSet<QString>> sets_;  // per file: "GS06 ST02" as control keys
};

// For each claim of `file`, the events among `events` (all of that file) that apply to it,
// as pointers into `events`. Linear: claim events by index, the few others by scope.
std::vector<std::vector<const AnswerEvent*>> eventsByClaim(const SentFile& file,
                                                           std::span<const MatchedEvent> events);

}  // namespace zv::answers
