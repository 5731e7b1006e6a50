#include "claims/claim_files.h"

#ifndef _WIN32
#include <dirent.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "base/durable_file.h"
#include "base/file_mask.h"
#include "claims/numbering.h"

namespace zv {

namespace {

void reach(SendObserver* observer, SendStep step) {
    if (observer) observer->stepReached(step);
}

Status writeJoinJournal(const QString& path, const QStringList& names) {
    QByteArray bytes;
    for (const QString& name : names) bytes += QFile::encodeName(name).toPercentEncoding() + '\n';
    return writeFileSafely(path, bytes);
}

QStringList readJoinJournal(const QString& path) {
    QFile file(path);
    QStringList names;
    if (!file.open(QIODevice::ReadOnly)) return names;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) names << QFile::decodeName(QByteArray::fromPercentEncoding(line));
    return names;
}

// A journal left by a run cut off in its join: once the joined file has taken the first
// source's place (its temporary file is gone), the sources it names are inside it.
void recoverCutJoin(const QString& folder, QStringList& found, const QString& journal) {
    if (!QFileInfo::exists(journal)) return;
    if (!QFileInfo::exists(folder + kJoinTarget)) {
        for (const QString& name : readJoinJournal(journal)) {
            found.removeAll(name);
            QFile::remove(folder + name);
        }
    }
    QFile::remove(journal);
}

Status appendFile(SafeFile& out, const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return fail(path + QStringLiteral(": ") + in.errorString());
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) return fail(path + QStringLiteral(": ") + in.errorString());
        if (n == 0) return {};
        if (Status s = out.write(buffer.constData(), n); !s) return s;
    }
}

}  // namespace

Status copyWhole(const QString& from, const QString& to) {
    // Written as a new file of the program's own: it is private, whatever the
    // source's mode, and never replaces a file already there.
    SafeFile out(to);
    if (Status s = out.open(); !s) return s;
    if (Status s = appendFile(out, from); !s) return s;
    const Result<bool> placed = out.commitIfFree(QFile::encodeName(to));
    if (!placed) return fail(placed.reason());
    if (!*placed) return fail(QDir::toNativeSeparators(to) + QStringLiteral(" already exists"));
    return {};
}

Result<QString> joinClaimFiles(const QString& folder, QStringList found, const QString& journal,
                               SendObserver* observer) {
    using R = Result<QString>;
    recoverCutJoin(folder, found, journal);
    if (found.isEmpty()) return R::failure(QStringLiteral("no claim file is left to join"));
    const QString first = found.first();
    SafeFile out(folder + first, SafeFile::Access::AsFolder, kJoinTarget);
    if (Status s = out.open(); !s) return R::failure(s.reason());
    for (const QString& name : found) {
        if (Status s = appendFile(out, folder + name); !s) return R::failure(s.reason());
    }
    if (Status s = out.sync(); !s) return R::failure(s.reason());
    if (Status s = writeJoinJournal(journal, found.mid(1)); !s) return R::failure(s.reason());

    reach(observer, SendStep::JoinBeforeReplace);
    // The joined file replaces the first source in one step, and the others go only
    // after that, so a run cut off at any point loses no claim.
    if (Status s = out.commit(); !s) {
        QFile::remove(journal);
        return R::failure(folder + kJoinTarget + QStringLiteral(" could not replace ") + first +
                          QStringLiteral(": ") + s.reason());
    }
    reach(observer, SendStep::JoinAfterReplace);
    for (const QString& name : found.mid(1)) {
        if (!QFile::remove(folder + name) && QFileInfo::exists(folder + name))
            return R::failure(folder + name +
                              QStringLiteral(" could not be removed after joining"));
    }
    QFile::remove(journal);
    return first;
}

Result<int> nextFreeNumber(int last, const QString& siteId, const QString& fileType,
                           const QStringList& copyFolders, const QSet<QString>& serverNames) {
    const auto taken = [&](int n) {
        const QString claim = makeClaimName(siteId, n, fileType);
        if (serverNames.contains(claim)) return true;
        for (const QString& folder : copyFolders)
            if (QFileInfo::exists(folder + claim)) return true;
        return false;
    };
    int next = last + 1;
    while (next <= kLastSubmissionNumber && taken(next)) ++next;
    if (next > kLastSubmissionNumber)
        return Result<int>::failure(QStringLiteral("the submission numbers are used up"));
    return next;
}

bool isProgramsOwnFolder(const QString& folder, const QString& root) {
    if (folder.isEmpty() || root.isEmpty()) return false;
    const QString top = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    const QString inside = folder + QLatin1Char('/');
    if (inside == top) return true;
    for (const char* own : {"claims/", "claimsbu/", "reports/"})
        if (inside.startsWith(top + QLatin1String(own))) return true;
    return false;
}

QStringList unreachableNames(const QString& folder, const QString& mask) {
    QStringList names;
#ifdef Q_OS_WIN
    // Names are UTF-16 there, and Qt reaches every one of them.
    (void)folder;
    (void)mask;
#else
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(folder).constData()),
                                                  ::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw && maskMatches(mask, name)) names << name;
    }
#endif
    return names;
}

}  // namespace zv
