#include "base/text_file.h"

#include <QByteArrayView>
#include <array>

namespace zv {

namespace {

// Windows-1252 bytes 0x80-0x9F; 0 marks the five bytes the code page leaves undefined,
// which map to the C1 control of the same number (as Windows itself does), so that any
// byte string survives a read and a write unchanged.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toCp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    if (c >= 0x80 && c <= 0x9F) return kHighTable[c - 0x80] == 0 ? static_cast<char>(c) : '?';
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] != 0 && kHighTable[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) out.append(toCp1252Byte(c));
    return out;
}

QString fromCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u <= 0x9F && kHighTable[u - 0x80] != 0) {
            out.append(QChar(kHighTable[u - 0x80]));
        } else {
            out.append(QChar(u));
        }
    }
    return out;
}

QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(bytes.mid(start));
    return lines;
}

}  // namespace zv
