#include "app/workstation_rules.h"

#include <QLocale>
#include <QStringList>

#include "setup/setup_file.h"
#include "app/text_file.h"

namespace zv {

QString windowsWorkRoot(const QString& currentDir) {
    const QString path = currentDir.toUpper();
    const QString drive = path.left(2);
    // Characters 4 to 6 name the clearinghouse's folder; the program's own folder name
    // is accepted as well, as the workstations were set up either way.
    if (path.mid(3, 3) == QLatin1String("ZOD") || path.mid(3, 7) == QLatin1String("ZUDUVOR")) {
        return path.endsWith(QLatin1Char('\\')) ? path : path + QLatin1Char('\\');
    }
    return drive + QStringLiteral("\\zod\\");
}

QString posixWorkRoot(const QString& currentDir, const QString& homeDir) {
    const QStringList parts = currentDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().startsWith(QLatin1String("zod"), Qt::CaseInsensitive)) {
        return currentDir.endsWith(QLatin1Char('/')) ? currentDir : currentDir + QLatin1Char('/');
    }
    QString home = homeDir;
    while (home.endsWith(QLatin1Char('/'))) home.chop(1);
    return home + QStringLiteral("/zod/");
}

QString parseVerOutput(const QByteArray& output) {
    QString tag = QStringLiteral("W8");
    for (const QByteArray& bytes : splitLines(output)) {
        const QString line = fromCp1252(bytes);
        if (trimTrailingBlanks(line).isEmpty()) continue;
        const QString head = line.left(20);
        if (head == QLatin1String("Microsoft Windows XP")) {
            tag = QStringLiteral("XP");
        } else if (head == QLatin1String("Microsoft Windows [V")) {
            tag = QStringLiteral("W7");
        }
    }
    return tag;
}

QString sysIdFromMarker(const QByteArray& contents) {
    const QList<QByteArray> lines = splitLines(contents);
    return lines.isEmpty() ? QString() : fromCp1252(lines.first()).toLower();
}

ViewerCommands windowsViewerCommands(const QString& osVersion, bool markerExists,
                                     const QString& sysId) {
    const QString drive =
        (markerExists && osVersion == QLatin1String("W7") && sysId == QLatin1String("ws2xp"))
            ? QStringLiteral("D:")
            : QStringLiteral("C:");
    return {drive + QStringLiteral("\\windows\\explorer.exe "),
            drive + QStringLiteral("\\Program Files\\Internet Explorer\\iexplore.exe "),
            drive + QStringLiteral("\\Windows\\notepad.exe ")};
}

// The C locale keeps the digits and the AM/PM markers English whatever the desktop's
// language, as the files and lists built from these texts expect.
QString dateText(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("MM-dd-yyyy"));
}

QString timeText(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("HH:mm:ss"));
}

QString dateAndTimeText(const QDateTime& t) {
    return dateText(t) + QStringLiteral(" at ") + timeText(t);
}

QString generalDateText(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("MM/dd/yyyy h:mm:ss AP"));
}

}  // namespace zv
