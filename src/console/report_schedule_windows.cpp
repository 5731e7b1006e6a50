#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryFile>

#include "console/report_schedule.h"

namespace zv {

namespace {

const QString kTaskName = QStringLiteral("ZOD report pickup");

// schtasks.exe, the Task Scheduler's own command; its words when it refuses.
Result<QString> schtasks(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("schtasks.exe"), arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return Result<QString>::failure(
            QStringLiteral("the Task Scheduler (schtasks.exe) did not answer"));
    const QString said = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (p.exitCode() != 0) return Result<QString>::failure(said);
    return said;
}

}  // namespace

Result<QString> scheduleReports(bool on, const QString& workRoot) {
    using R = Result<QString>;
    if (!on) {
        const R removed = schtasks({"/Delete", "/TN", kTaskName, "/F"});
        if (!removed)
            return R::failure(QStringLiteral("The scheduled report pickup could not be removed: ") +
                              removed.reason());
        return QStringLiteral("The scheduled report pickup is off.");
    }
    QTemporaryFile xml(QDir::tempPath() + QStringLiteral("/zuduvor-task-XXXXXX.xml"));
    const QString text = reportTaskXml(QCoreApplication::applicationFilePath(), workRoot);
    // UTF-16 with its byte-order mark, as the declaration inside says.
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    if (!xml.open() || xml.write(bytes) != bytes.size() || !xml.flush())
        return R::failure(QStringLiteral("The scheduled report pickup could not be set up: ") +
                          xml.errorString());
    const R made = schtasks(
        {"/Create", "/TN", kTaskName, "/XML", QDir::toNativeSeparators(xml.fileName()), "/F"});
    if (!made)
        return R::failure(QStringLiteral("The scheduled report pickup could not be set up: ") +
                          made.reason());
    return QStringLiteral(
               "Reports are now fetched every hour on working days (Task Scheduler: "
               "\"%1\"). Turn it off with: zuduvor schedule off")
        .arg(kTaskName);
}

}  // namespace zv
