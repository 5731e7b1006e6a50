#include "support/files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <memory>

#include "base/text_file.h"
#include "support/x12_samples.h"

namespace zv::test {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes, const QDateTime& changed) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    // Readable by the sshd test account whatever umask the program's start-up left this
    // process with.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush() &&
                f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                 QFile::ReadOther) &&
                (changed.isNull() || f.setFileTime(changed, QFileDevice::FileModificationTime)))
        << path.toStdString();
}

QByteArray patterned(qsizetype size, quint32 seed) {
    // A sound interchange (the send's guards let it pass) whose control numbers and notes
    // no other seed has, with stray bytes: a claim is found again by its whole content
    // even inside a joined file. The last note pads it to the size.
    QRandomGenerator gen(seed);
    const QByteArray number = QByteArray::number(seed % 1000000000).rightJustified(9, '0');
    const QByteArray head = interchange({}).left(90) + number + "*0*P*:~\nGS*HC*SMILEDENTAL*ZOD*" +
                            "20260512*1003*" + QByteArray::number(seed) + "*X*005010X222A1~\n" +
                            "ST*837*0001~\n";
    const auto tail = [&](int segments) {
        return "SE*" + QByteArray::number(segments) + "*0001~\nGE*1*" + QByteArray::number(seed) +
               "~\nIEA*1*" + number + "~\n";
    };
    const auto note = [&] {
        const char stray = char(gen.generate() & 0xff);
        return "NTE*ADD*PRACTICE " + QByteArray::number(gen.generate() % 100000) +
               (QByteArray("*~:^\r\n").contains(stray) ? QByteArray() : QByteArray(1, stray)) +
               "~\n";
    };
    QByteArray body;
    int segments = 2;  // ST and SE
    for (QByteArray line = note();
         head.size() + body.size() + line.size() + tail(segments + 2).size() + 8 <= size;
         line = note(), ++segments)
        body += line;
    const qsizetype pad = size - head.size() - body.size() - tail(segments + 1).size() - 6;
    if (pad < 0) return QByteArray(size, 'c');  // too small for an envelope
    return head + body + "NTE*" + QByteArray(pad, 'X') + "~\n" + tail(segments + 1);
}

#ifdef _WIN32
QMap<QString, QByteArray> filesIn(const QString& folder) {
    // Names are UTF-16 there: Qt lists every one.
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile f(dir.filePath(name));
        out.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>"));
    }
    return out;
}
#else
QMap<QString, QByteArray> filesIn(const QString& folder) {
    // By the names' bytes, shown as the program shows them: "\xE9" for a byte that is not
    // UTF-8. Everything but folders, as a link to one.
    QMap<QString, QByteArray> out;
    const QByteArray dir = QFile::encodeName(folder) + '/';
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.constData()), ::closedir);
    struct stat st;
    for (const dirent* e; d && (e = ::readdir(d.get()));) {
        const QByteArray path = dir + e->d_name;
        if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        QFile f;
        const bool opened = f.open(::open(path.constData(), O_RDONLY), QIODevice::ReadOnly,
                                   QFileDevice::AutoCloseHandle);
        out.insert(readableName(e->d_name), opened ? f.readAll() : QByteArray("<missing>"));
    }
    return out;
}
#endif

}  // namespace zv::test
