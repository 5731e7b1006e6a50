// The SFTP packet codec: requests byte for byte, and every kind of reply a server may send,
// well formed or not. A malformed reply must end in words, never in a read past its end.
#include "sftp/sftp_wire.h"

#include <gtest/gtest.h>

#include <QList>

namespace zv::wire {
namespace {

// "65 u7 s:ab" = byte 0x65, uint32 7, string "ab" (length in front); "q5" a uint64.
QByteArray bytes(const char* words) {
    QByteArray out;
    for (const QByteArray& word : QByteArray(words).split(' ')) {
        char n[8];
        if (word.startsWith("s:")) {
            out += bytes(("u" + QByteArray::number(word.size() - 2)).constData()) + word.mid(2);
        } else if (word.startsWith('u') || word.startsWith('q')) {
            const int width = word[0] == 'u' ? 4 : 8;
            const quint64 v = word.mid(1).toULongLong();
            for (int i = 0; i < width; ++i) n[i] = char(v >> (8 * (width - 1 - i)));
            out.append(n, width);
        } else if (!word.isEmpty()) {
            out += QByteArray::fromHex(word);
        }
    }
    return out;
}

std::string describe(const Result<Reply>& r) {
    if (!r) return "! " + r.reason().toStdString();
    QString d = QStringLiteral("%1 id=%2").arg(r->type).arg(r->id);
    if (r->type == kStatus) d += QStringLiteral(" code=%1").arg(r->code);
    if (!r->bytes.isEmpty()) d += " [" + QString::fromLatin1(r->bytes.toHex()) + "]";
    if (r->attrs.hasSize()) d += QStringLiteral(" size=%1").arg(r->attrs.size);
    for (const NameEntry& e : r->names)
        d += QStringLiteral(" %1:%2%3")
                 .arg(QString::fromLatin1(e.name))
                 .arg(e.attrs.size)
                 .arg(e.attrs.isRegular() ? "f" : "-");
    if (r->type == kVersion) d += QStringLiteral(" v%1").arg(r->version);
    for (const auto& [name, data] : r->extensions) d += " " + name + "=" + data;
    return d.toStdString();
}

TEST(SftpWire, RepliesAreReadWholeOrRefusedInWords) {
    const std::pair<const char*, const char*> rows[] = {
        {"02 u3 s:limits@openssh.com s:1 s:posix-rename@openssh.com s:1",
         "2 id=0 v3 limits@openssh.com=1 posix-rename@openssh.com=1"},
        {"65 u7 u2 s:gone s:en", "101 id=7 code=2 [676f6e65]"},
        {"65 u7 u0", "101 id=7 code=0"},  // version 3 servers may leave out the message
        {"66 u1 s:h1", "102 id=1 [6831]"},
        {"67 u3 s:abc", "103 id=3 [616263]"},
        {"67 u3 s:abc 01", "103 id=3 [616263]"},  // with the end-of-file flag of later versions
        {"69 u5 u1 q42", "105 id=5 size=42"},
        {"69 u5 u2147483663 q42 u1 u2 u33188 u0 u0 u1 s:a s:b", "105 id=5 size=42"},
        {"68 u4 u2 s:R1 s:-rw u5 q10 u33188 s:d s:drw u4 u16877", "104 id=4 R1:10f d:0-"},
        {"c9 u9 q1 q2 q3 q4",
         "201 id=9 [0000000000000001000000000000000200000000000000030000000000000004]"},
        // Malformed: short fields, counts beyond the bytes there are, leftovers, strangers.
        {"", "! The server sent a malformed answer (empty)"},
        {"65 u7", "! The server sent a malformed answer (status code)"},
        {"65 u7 u2 u9 ab", "! The server sent a malformed answer (status message)"},
        {"66 u1 u0", "! The server sent a malformed answer (handle)"},
        {"67 u3 u4000000000 ab", "! The server sent a malformed answer (data)"},
        {"67 u3 s:abc 0101", "! The server sent a malformed answer (bytes after the reply)"},
        {"68 u4 u4294967295 s:R1", "! The server sent a malformed answer (name count)"},
        {"68 u4 u1 s:R1 s:-rw u1", "! The server sent a malformed answer (name entry)"},
        {"69 u5 u2147483648 u4294967295", "! The server sent a malformed answer (attributes)"},
        {"69 u5 u1 u7", "! The server sent a malformed answer (attributes)"},
        {"02 u3 s:limits@openssh.com", "! The server sent a malformed answer (version extension)"},
        {"07 u1", "! The server sent a malformed answer (unknown reply type)"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(describe(parseReply(bytes(in))), out) << in;
}

TEST(SftpWire, RequestsAndLengths) {
    const std::pair<QByteArray, const char*> rows[] = {
        {init(3), "u5 01 u3"},
        {open(1, "claims/a", kOpenWrite | kOpenCreate | kOpenTruncate, 0644),
         "u29 03 u1 s:claims/a u26 u4 u420"},
        {open(2, "r", kOpenRead, 0), "u18 03 u2 s:r u1 u0"},
        {read(3, "h", 1ull << 33, 261120), "u22 05 u3 s:h q8589934592 u261120"},
        {writeHeader(4, "h", 5, 100), "u122 06 u4 s:h q5 u100"},  // the data follows
        {withHandle(kFstat, 5, "h"), "u10 08 u5 s:h"},
        {withPath(kRemove, 6, "reports/R"), "u18 0d u6 s:reports/R"},
        {rename(7, "a", "b"), "u15 12 u7 s:a s:b"},
        {limits(9), "u27 c8 u9 s:limits@openssh.com"},
    };
    for (const auto& [built, expected] : rows)
        EXPECT_EQ(built.toHex().toStdString(), bytes(expected).toHex().toStdString());
    EXPECT_FALSE(packetLength(bytes("u0")));
    EXPECT_EQ(*packetLength(bytes("u1048576")), kMaxPacket);
    EXPECT_FALSE(packetLength(bytes("u1048577")));
    EXPECT_EQ(parseLimits(bytes("q1 q2 q3 q4"))->maxWrite, 3u);
    EXPECT_FALSE(parseLimits(bytes("q1 q2 q3")));
}

}  // namespace
}  // namespace zv::wire
