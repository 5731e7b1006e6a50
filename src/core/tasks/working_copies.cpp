#include "tasks/working_copies.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

#include "base/file_digest.h"
#include "base/file_mask.h"
#include "claims/numbering.h"
#include "tasks/server_session.h"

namespace zv {

void RecordNumber(const TaskContext& ctx, int number, const QString& claim) {
    if (const Status written = writeSequenceFile(ctx.m.Paths.SequenceFile, number); !written) {
        // The claim is on the server; its backup keeps its number from being reused.
        ctx.dialogs.message(QStringLiteral("The claim ") + claim +
                            QStringLiteral(" was sent, but its number could not be recorded: ") +
                            written.reason() + QStringLiteral(". Call ZOD."));
    }
}

void RecordNumberOf(const TaskContext& ctx, const QString& claim) {
    const int number = claimNumberOf(claim, ctx.m.Setup.SiteID, ctx.m.Setup.FileType);
    const Result<int> last = readSequenceFile(ctx.m.Paths.SequenceFile);
    if (number > 0 && last && number > *last) RecordNumber(ctx, number, claim);
}

void WorkingCopies::settle(const ServerClaims& server, const QStringList& waiting) {
    for (const QString& name : findFiles(ctx_.m.Paths.ClaimsDir, QStringLiteral("*")))
        settleOne(name, server, waiting);
}

WorkingCopies::Recorded WorkingCopies::lookUp(const QString& name) {
    Recorded r;
    Ledger* l = ledger_.ledger();
    if (!l) return r;
    const auto record = l->claim(name);
    ledger_.keep(record.ok() ? Status() : fail(record.reason()));
    if (!record.ok() || !*record) return r;
    r.known = true;
    r.confirmed = (*record)->lastAttemptConfirmed;
    r.toldAtFailure = (*record)->state == ClaimState::Failed;
    r.uploadBegun = (*record)->attempts > 0;
    return r;
}

void WorkingCopies::settleOne(const QString& name, const ServerClaims& server,
                              const QStringList& waiting) {
    const QString working = ctx_.m.Paths.ClaimsDir + name;
    const qint64 size = QFileInfo(working).size();
    Recorded r = lookUp(name);
    if (!r.uploadBegun && StillInPracticeFolder(name, waiting)) {
        // Its backup stays, as every backup does.
        QFile::remove(working);
        if (r.known) ledger_.recordForget(name);
        return;
    }
    // Our upload gets its claim name only once the server holds all of it (and no
    // number is given whose name waits there), so a whole file under it is ours.
    const qint64 onServer = server.sizes.value(name.toUpper(), -1);
    if (!r.confirmed && server.listed && onServer == size) {
        r.confirmed = true;
        if (r.known) ledger_.recordConfirmed(name);
    }
    if (r.confirmed) return settleSent(name);
    if (!server.listed) return;  // nothing sure is known without the server: next run
    if (onServer >= 0 && onServer < size) {
        ServerSession& s = ctx_.session;
        SftpClient& c = s.Client();
        (void)s.blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); });
    }
    // An upload that failed in front of the user was told of then; one cut off by the
    // program's end was not.
    if (r.toldAtFailure) return;
    if (r.known) ledger_.recordFailed(name, QStringLiteral("the upload was cut off"));
    ctx_.dialogs.message(name + QStringLiteral(" did not reach ZOD completely. Check with ZOD, "
                                               "then send it again with Resend Claims to ZOD."),
                         MessageKind::Info);
}

void WorkingCopies::settleSent(const QString& name) {
    RecordNumberOf(ctx_, name);
    QFile::remove(ctx_.m.Paths.ClaimsDir + name);
}

bool WorkingCopies::StillInPracticeFolder(const QString& name, const QStringList& waiting) const {
    const QString working = ctx_.m.Paths.ClaimsDir + name;
    const qint64 size = QFileInfo(working).size();
    std::optional<QString> sha;
    for (const QString& practice : waiting) {
        const QString path = ctx_.m.Setup.UserPath + practice;
        if (QFileInfo(path).size() != size) continue;
        if (!sha) {
            const Result<QString> read = fileSha256(working);
            if (!read) return false;
            sha = *read;
        }
        const Result<QString> other = fileSha256(path);
        if (other && *other == *sha) return true;
    }
    return false;
}

}  // namespace zv
