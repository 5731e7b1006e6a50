#pragma once
// Checks on each claim file a send finds, before it is joined, numbered, copied or
// deleted: a file still being written is waited for; a damaged-looking envelope, a test
// interchange and a file sent before each ask the user. A file held back stays in the
// practice's folder exactly as it was, for the next send.
#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "base/ports.h"
#include "x12/x12.h"

namespace zv {

struct PriorSend {
    QString name;
    QDateTime sentAt;
};
// The submission history's answer to "was this sent before?": by content (sha256, the 32
// raw bytes) or by interchange (sender ISA06, control number ISA13 and date and time ISA09
// ISA10 together: billing programs that number every file 000000001 make the number alone
// no proof; all empty for a file that is not X12).
using FindPriorSend = std::function<std::optional<PriorSend>(const QByteArray& sha256,
                                                             const x12::ClaimFileFacts& facts)>;

struct GuardSetup {
    QString practiceFolder;  // ends with "/"
    QString fileType;
    QString backupDir;   // claimsbu/: copies of every numbered file, for those sent before
    QString workingDir;  // claims/: a copy here means its upload is not confirmed
    QString siteId;
    int lastNumber = 0;           // seqfile.fil's: higher numbers were never confirmed sent
    FindPriorSend findPriorSend;  // may be empty
    QString checksDir;            // checks/: what ZOD would reject, per file; empty: no check
};

struct HeldBack {
    QString name;
    QString statusLine;  // why, and what happens next, in plain words
};

// A file's size and time of last change: while both stay, nobody writes it.
struct FileLook {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileLook&) const = default;
    static std::optional<FileLook> of(const QString& path);  // none when it is not there
};

// How long a claim file must stay unchanged before it is taken. Billing programs pause
// while they write (a database lookup between claims, a network share that passes the
// writes on in bursts): a file taken in such a pause would be sent half, and the rest
// written into a deleted file. Files older than this are taken at once.
inline constexpr int kSettleMs = 10000;
// A file still changing after this long is held back for the next send.
inline constexpr int kMostSettleWaitMs = 20000;

struct GuardOutcome {
    QStringList goOn;  // in the order found
    std::vector<HeldBack> heldBack;
    // How each file of goOn looked once it had settled: it is deleted from the practice
    // folder only while it still looks so.
    QMap<QString, FileLook> settled;
    QStringList notes;  // status lines about files that go on (warnings of the check)
};

// Runs the guards over `found` (names in setup.practiceFolder). Questions go to `dialogs`
// (Cancel holds the file back); waiting and reading run inside `blocking`, during which
// a window keeps repainting.
GuardOutcome guardClaimFiles(const QStringList& found, const GuardSetup& setup, Dialogs& dialogs,
                             const std::function<void(const std::function<void()>&)>& blocking);

// Waits until each of `names` in `folder` has been unchanged (size and time of last
// change) for `settleMs`, but no longer than `maxWaitMs` in all. A file last changed
// `settleMs` ago or earlier is settled at once. Returns how each settled file looks;
// those missing are still being written (or are gone).
QMap<QString, FileLook> waitUntilSettled(const QString& folder, const QStringList& names,
                                         int settleMs = kSettleMs,
                                         int maxWaitMs = kMostSettleWaitMs);

}  // namespace zv
