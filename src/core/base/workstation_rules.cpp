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
