#include "console/file_check.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "base/file_digest.h"
#include "x12/claim_check.h"

namespace zv {

namespace check = x12::check;

int checkFilesAndPrint(const QStringList& files, bool json, const QDate& today, QTextStream& out,
                       QTextStream& err) {
    int status = 0;
    QStringList objects;  // for --json
    for (const QString& path : files) {
        MappedFile file(path);
        if (const Status opened = file.open(); !opened) {
            err << path << ": " << opened.reason() << '\n';
            if (json)
                objects << QString::fromUtf8(
                    QJsonDocument(QJsonObject{{QStringLiteral("file"), path},
                                              {QStringLiteral("unreadable"), opened.reason()}})
                        .toJson(QJsonDocument::Compact));
            status = 1;
            continue;
        }
        const check::CheckReport report =
            check::checkClaimFile(std::string_view(file.bytes().data(), file.bytes().size()),
                                  {.today = {today.year(), today.month(), today.day()}});
        if (report.hasErrors() || report.kind == check::FileKind::Unreadable) status = 1;
        const std::string name = path.toStdString();
        if (json)
            objects << QString::fromStdString(check::findingsJson(report, name));
        else
            out << (&path == &files.front() ? "" : "\n")
                << QString::fromStdString(check::findingsText(report, name, "\n"));
    }
    if (json) out << '[' << objects.join(QLatin1Char(',')) << "]\n";
    out.flush();
    err.flush();
    return status;
}

}  // namespace zv
