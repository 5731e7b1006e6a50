#include "tasks/send_uploads.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

#include "base/durable_file.h"
#include "base/file_mask.h"
#include "claims/numbering.h"
#include "tasks/server_session.h"

namespace zv {

namespace {

// The server's claims/ as one listing; none when it cannot be read.
std::optional<RemoteListing> listClaimsFolder(ServerSession& s) {
    if (!s.isOpen()) return std::nullopt;
    SftpClient& c = s.Client();
    const QString handle = s.blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    if (handle.isEmpty()) return std::nullopt;
    std::optional<RemoteListing> listing = s.blocking([&] { return c.ReadRemoteDir(handle); });
    s.closeQuietly(handle);
    return listing;
}

}  // namespace

Status UploadRecords::begun(const QString& temp) {
    QSet<QString> names = this->names();
    names.insert(temp);
    return write(names);
}

void UploadRecords::ended(const QString& temp) {
    QSet<QString> names = this->names();
    if (names.remove(temp)) (void)write(names);
}

QSet<QString> UploadRecords::names() const {
    QSet<QString> names;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return names;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) names.insert(QString::fromUtf8(line));
    return names;
}

Status UploadRecords::write(const QSet<QString>& names) const {
    if (names.isEmpty()) {
        QFile::remove(path_);
        return QFileInfo::exists(path_) ? fail(path_ + QStringLiteral(" cannot be removed"))
                                        : Status();
    }
    QByteArray bytes;
    for (const QString& name : names) bytes += name.toUtf8() + '\n';
    return writeFileSafely(path_, bytes);
}

ServerClaims UploadCheck::listClaims() {
    ServerClaims server;
    ServerSession& s = ctx_.session;
    const std::optional<RemoteListing> listing = listClaimsFolder(s);
    if (!listing) return server;  // the final rename still never replaces a file
    server.listed = true;
    const QSet<QString> ours = records_.names();
    QSet<QString> seen;
    for (int i = 0; i < listing->EntryCount(); ++i) {
        const QString name = listing->EntryAt(i).EntryName;
        seen.insert(name);
        server.sizes.insert(name.toUpper(), listing->EntryAt(i).EntrySize);
        if (ours.contains(name)) {
            SftpClient& c = s.Client();
            if (s.blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); }) ==
                1)
                records_.ended(name);
            continue;
        }
        // Another program's upload under way has taken its number as well.
        const QString standsFor = claimNameOfTemp(name);
        server.names.insert((standsFor.isEmpty() ? name : standsFor).toUpper());
    }
    for (const QString& name : ours)
        if (!seen.contains(name)) records_.ended(name);
    return server;
}

QString UploadCheck::missing(const PlacedClaim& claim, const ServerClaims& server) {
    qint64 size = server.sizes.value(claim.name.toUpper(), -1);
    if (!server.listed) {
        ServerSession& s = ctx_.session;
        SftpClient& c = s.Client();
        const std::optional<qint64> asked =
            s.blocking([&] { return c.RemoteFileSize(QStringLiteral("claims/") + claim.name); });
        if (!asked)
            return QStringLiteral("the server could not say whether it holds it (") +
                   c.ErrorDetail() + QStringLiteral(")");
        size = *asked;
    }
    if (size == claim.size) return {};
    if (server.sizes.contains(claim.temp.toUpper()))
        return QStringLiteral(
                   "the server answered that it was given its name, but it is still "
                   "there only as ") +
               claim.temp;
    if (size < 0) return QStringLiteral("it is not in the server's claims folder");
    return QStringLiteral("the server holds %1 of its %2 bytes").arg(size).arg(claim.size);
}

int UploadCheck::confirm(const std::vector<PlacedClaim>& placed) {
    if (placed.empty()) return 0;
    ServerClaims server;
    if (const std::optional<RemoteListing> listing = listClaimsFolder(ctx_.session)) {
        server.listed = true;
        for (int i = 0; i < listing->EntryCount(); ++i)
            server.sizes.insert(listing->EntryAt(i).EntryName.toUpper(),
                                listing->EntryAt(i).EntrySize);
    }
    int sent = 0;
    for (const PlacedClaim& claim : placed) {
        const QString why = missing(claim, server);
        if (why.isEmpty()) {
            ++sent;
            RecordNumberOf(ctx_, claim.name);
            ledger_.recordConfirmed(claim.name);
            ctx_.reach(SendStep::AfterNumber);
            QFile::remove(ctx_.m.Paths.ClaimsDir + claim.name);
            continue;
        }
        ledger_.recordFailed(claim.name, why);
        ctx_.log.write(claim.name + QStringLiteral(" Upload Not Confirmed"));
        // A temporary copy that survived is never taken away as a leftover: its name
        // was crossed out when the server reported the rename done.
        ctx_.dialogs.message(claim.name + QStringLiteral(" was not sent: ") + why +
                             QStringLiteral(". It is kept here: call ZOD, then send it again "
                                            "with Resend Claims to ZOD."));
    }
    return sent;
}

void nameWaitingClaims(const TaskContext& ctx) {
    for (const QString& name : findFiles(ctx.m.Paths.ClaimsDir, QStringLiteral("*")))
        ctx.view.statusAdd(name + QStringLiteral(" was not sent: its upload did not complete; "
                                                 "use Resend Claims to ZOD"));
}

}  // namespace zv
