#include "base/readable_name.h"

#include <QByteArrayView>

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

}  // namespace zv
