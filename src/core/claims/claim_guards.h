#pragma once
// Checks on each claim file a send finds, before it is joined, numbered, copied or
// deleted: a file still being written is waited for; a damaged-looking envelope, a test
// interchange and a file sent before each ask the user. A file held back stays in the
// practice's folder exactly as it was, for the next send.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "base/ports.h"

namespace zv {

struct PriorSend {
    QString name;
    QDateTime sentAt;
};
// The submission history's answer to "was this sent before?": by content (sha256, the 32
// raw bytes) or by interchange (sender ISA06 and control number ISA13; both empty for a
// file that is not X12).
using FindPriorSend = std::function<std::optional<PriorSend>(
    const QByteArray& sha256, const QString& sender, const QString& interchangeNumber)>;

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

struct GuardOutcome {
    QStringList goOn;  // in the order found
    std::vector<HeldBack> heldBack;
    QStringList notes;  // status lines about files that go on (warnings of the check)
};

// Runs the guards over `found` (names in setup.practiceFolder). Questions go to `dialogs`
// (Cancel holds the file back); waiting and reading run inside `blocking`, during which
// a window keeps repainting.
GuardOutcome guardClaimFiles(const QStringList& found, const GuardSetup& setup, Dialogs& dialogs,
                             const std::function<void(const std::function<void()>&)>& blocking);

// Names among `names` in `folder` still changing after waiting up to `maxWaitMs`: sizes and
// modification times are compared a second apart. A file last changed more than two
// seconds ago counts as finished without waiting.
QStringList stillBeingWritten(const QString& folder, const QStringList& names,
                              int maxWaitMs = 10000);

}  // namespace zv
