#include "base/readable_name.h"

#include <QByteArrayView>
#include <QRegularExpression>

namespace zv {

QString readableName(const QByteArray& bytes) {
    QString out;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar b = p[i];
        const qsizetype length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > bytes.size() ||
            !QByteArrayView(p + i, length).isValidUtf8()) {
            out += QString::asprintf("\\x%02X", b);
            ++i;
            continue;
        }
        for (const QChar c : QString::fromUtf8(bytes.constData() + i, length))
            out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u'?') : c;
        i += length;
    }
    return out;
}

bool windowsForbidsName(const QString& name) {
    if (name.isEmpty() || name.endsWith(u'.') || name.endsWith(u' ')) return true;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || QStringView(u"<>:\"/\\|?*").contains(c)) return true;
    // The device names hold with any extension and with blanks before it ("nul .txt").
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9\u00B9\u00B2\u00B3]|LPT[1-9\u00B9\u00B2\u00B3])"
                       " *(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

}  // namespace zv
