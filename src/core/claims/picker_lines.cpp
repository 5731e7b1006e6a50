#include "claims/picker_lines.h"

namespace zv {

QString resendPickerText(const QString& name, const QString& generalDate) {
    // Fixed character positions of the date text; positions past its end give nothing.
    const QString column = generalDate.mid(0, 2) + QLatin1Char('/') + generalDate.mid(3, 2) +
                           QLatin1Char('/') + generalDate.mid(6, 4) + QStringLiteral("  ") +
                           generalDate.mid(11);
    return name.toUpper() + QStringLiteral("  ") + column;
}

QString viewPickerText(const QString& name, const QString& generalDate) {
    return name.toUpper() + QStringLiteral("   ") + generalDate.left(10) + QLatin1Char(' ') +
           generalDate.mid(10);
}

QString deletePickerText(const QString& name, qint64 size) {
    // The number takes a sign place: a blank, or the minus of a negative size.
    const QString number =
        size < 0 ? QString::number(size) : QLatin1Char(' ') + QString::number(size);
    return name + QStringLiteral("  ") + number;
}

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ||
            c.unicode() == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace zv
