#include "claims/claim_check_guard.h"

#include <QDir>
#include <QFile>

#include "base/durable_file.h"
#include "x12/claim_check.h"

namespace zv {
namespace {

namespace check = x12::check;

QString fromAscii(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// "checks\NAME.txt" as staff find it from the work root.
QString listName(const QString& shownName) {
    return QDir::toNativeSeparators(QStringLiteral("checks/") + shownName + QStringLiteral(".txt"));
}

// Writes the findings; the reason in words when it could not.
QString writeList(const check::CheckReport& report, const QString& fileName,
                  const QString& checksDir) {
    if (!QDir().mkpath(checksDir))
        return QStringLiteral("the folder ") + checksDir + QStringLiteral(" could not be made");
    const std::string text = check::findingsText(report, fileName.toStdString());
    const Status written = writeFileSafely(checksDir + fileName + QStringLiteral(".txt"),
                                           QByteArray::fromStdString(text));
    return written ? QString() : written.reason();
}

// Ended by one full stop, whether or not the finding has its own.
QString sentence(QString text) {
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text + QLatin1Char('.');
}

QString problems(std::int64_t n) {
    return n == 1 ? QStringLiteral("1 problem") : QString::number(n) + QStringLiteral(" problems");
}

}  // namespace

ClaimCheckVerdict checkBeforeNumbering(const QByteArray& bytes, const QString& fileName,
                                       const QString& shownName, const QString& checksDir,
                                       const QDate& today) {
    ClaimCheckVerdict verdict;
    const check::CheckReport report =
        check::checkClaimFile(std::string_view(bytes.constData(), bytes.size()),
                              {.today = {today.year(), today.month(), today.day()}});
    const bool checked =
        report.kind != check::FileKind::NotChecked && report.kind != check::FileKind::Unreadable;
    if (!checked) return verdict;  // the envelope guard speaks for an unreadable header
    if (report.errors == 0 && report.warnings == 0) {
        QFile::remove(checksDir + fileName + QStringLiteral(".txt"));  // an earlier list is stale
        return verdict;
    }
    const QString failed = writeList(report, fileName, checksDir);
    const QString list = listName(shownName);
    if (report.hasErrors()) {
        const QString where =
            failed.isEmpty()
                ? QStringLiteral(" The list is in ") + list + QStringLiteral(".")
                : QStringLiteral(" The list could not be written: ") + failed + QStringLiteral(".");
        verdict.question = shownName + QStringLiteral(" would be rejected by ZOD: ") +
                           problems(report.errors) + QStringLiteral(", the first: ") +
                           sentence(fromAscii(check::firstProblem(report))) + where +
                           QStringLiteral(" Send it anyway?");
        // One short line in the status list; the question said what to do.
        verdict.heldBackWhy =
            failed.isEmpty() ? QStringLiteral(
                                   " would be rejected by ZOD and was not sent; the problems are "
                                   "in ") +
                                   list
                             : QStringLiteral(" would be rejected by ZOD and was not sent");
        return verdict;
    }
    verdict.notes << shownName + QStringLiteral(": ") +
                         (report.warnings == 1
                              ? QStringLiteral("1 warning")
                              : QString::number(report.warnings) + QStringLiteral(" warnings")) +
                         QStringLiteral(" that ZOD would not reject") +
                         (failed.isEmpty() ? QStringLiteral(", listed in ") + list : QString());
    return verdict;
}

}  // namespace zv
