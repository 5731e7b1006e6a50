#include "base/workstation_rules.h"

#include <QLocale>
#include <QStringList>

namespace zv {

QString posixWorkRoot(const QString& currentDir, const QString& homeDir) {
    const QStringList parts = currentDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().startsWith(QLatin1String("zod"), Qt::CaseInsensitive)) {
        return currentDir.endsWith(QLatin1Char('/')) ? currentDir : currentDir + QLatin1Char('/');
    }
    QString home = homeDir;
    while (home.endsWith(QLatin1Char('/'))) home.chop(1);
    return home + QStringLiteral("/zod/");
}

QString windowsWorkRoot(const QString& currentDir) {
    QString current = currentDir.toUpper();
    current.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (current.size() > 3 && current.endsWith(QLatin1Char('/'))) current.chop(1);
    if (current.mid(3, 3) == QLatin1String("ZOD"))
        return current.endsWith(QLatin1Char('/')) ? current : current + QLatin1Char('/');
    return current.left(2) + QStringLiteral("/zod/");
}

QString osVersionTag(int major, int minor) {
    if (major < 6) return QStringLiteral("XP");
    if (major == 6 && minor < 2) return QStringLiteral("W7");
    return QStringLiteral("W8");
}

ViewerCommands viewerCommands(const QString& osVersion, bool sysIdPresent, const QString& sysId) {
    const QString drive =
        sysIdPresent && osVersion == QLatin1String("W7") && sysId == QLatin1String("ws2xp")
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
