#include "support/files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <QDate>
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

namespace {

// The pieces of a sound 837P (a made-up practice and patients) that patterned() lays out:
// its own interchange number, group number and patient control numbers per seed, a
// subscriber with one claim per unit, service lines with notes that pad it to the size.
struct Sound837 {
    quint32 seed;
    QByteArray number = QByteArray::number(seed % 1000000000).rightJustified(9, '0');
    QByteArray group = QByteArray::number(seed % 1000000000);
    // Months ago, whatever today is: neither in the future nor too old for a payer.
    QByteArray served = QDate::currentDate().addMonths(-1).toString("yyyyMMdd").toLatin1();

    QByteArray head() const {
        return interchange({}).left(90) + number + "*0*P*:~\n" +
               "GS*HC*SMILEDENTAL*ZOD*20260512*1003*" + group + "*X*005010X222A1~\n" +
               "ST*837*0001*005010X222A1~\nBHT*0019*00*B" + group + "*20260512*1003*CH~\n" +
               "NM1*41*2*SMILE DENTAL*****46*SMILE01~\nPER*IC*FRONT DESK*TE*5555550100~\n" +
               "NM1*40*2*ZOD CLEARINGHOUSE*****46*ZOD~\nHL*1**20*1~\nPRV*BI*PXC*207Q00000X~\n" +
               "NM1*85*2*SMILE DENTAL*****XX*1234567893~\nN3*100 ELM STREET~\n" +
               "N4*SPRINGFIELD*IL*627041234~\nREF*EI*371234567~\n";
    }
    static constexpr int kHeadSegments = 11;  // ST to REF
    QByteArray unit(int hl, int lines) const {
        return "HL*" + QByteArray::number(hl) + "*1*22*0~\nSBR*P*18*GRP100******CI~\n" +
               "NM1*IL*1*DOE*JANE****MI*W100200300~\nN3*12 OAK AVENUE~\n" +
               "N4*SPRINGFIELD*IL*62704~\nDMG*D8*19800101*F~\n" +
               "NM1*PR*2*ACME HEALTH*****PI*ACME1~\nCLM*PCN" + group + "-" +
               QByteArray::number(hl) + "*" + QByteArray::number(10 * lines) +
               "***11:B:1*Y*A*Y*Y~\nHI*ABK:J449*ABF:I10~\n";
    }
    static constexpr int kUnitSegments = 9;
    QByteArray line(int l, const QByteArray& note) const {
        return "LX*" + QByteArray::number(l) + "~\nSV1*HC:99213*10*UN*1***1:2~\nDTP*472*D8*" +
               served + "~\nNTE*ADD*" + note + "~\n";
    }
    static constexpr int kLineSegments = 4;
    static QByteArray tail(const QByteArray& number, const QByteArray& group, int segments) {
        return "SE*" + QByteArray::number(segments) + "*0001~\nGE*1*" + group + "~\nIEA*1*" +
               number + "~\n";
    }
};

constexpr int kLinesPerClaim = 50;  // the most a professional claim may have
constexpr int kNoteMax = 80;

}  // namespace

QByteArray patterned(qsizetype size, quint32 seed) {
    // Units of one subscriber and one claim are added, and lines to the claim, while one
    // more still fits with one-letter notes; the notes then grow to make up the size.
    const Sound837 x{seed};
    QRandomGenerator gen(seed);
    std::vector<int> lines;  // per claim
    qsizetype used = x.head().size();
    int segments = Sound837::kHeadSegments + 1;  // and SE
    const auto fits = [&](qsizetype more, int moreSegments) {
        return used + more + Sound837::tail(x.number, x.group, segments + moreSegments).size() <=
               size;
    };
    for (;;) {
        const int hl = int(lines.size()) + 1;  // the last claim's; claims start at HL 2
        if (!lines.empty() && lines.back() < kLinesPerClaim) {
            const int l = lines.back() + 1;  // its charge has more digits at times
            const qsizetype more =
                x.line(l, "N0").size() + x.unit(hl, l).size() - x.unit(hl, l - 1).size();
            if (fits(more, Sound837::kLineSegments)) {
                lines.back() = l;
                used += more;
                segments += Sound837::kLineSegments;
                continue;
            }
        }
        const qsizetype unit = x.unit(hl + 1, 1).size() + x.line(1, "N0").size();
        if (!fits(unit, Sound837::kUnitSegments + Sound837::kLineSegments)) break;
        lines.push_back(1);
        used += unit;
        segments += Sound837::kUnitSegments + Sound837::kLineSegments;
    }
    QByteArray out = x.head();
    for (std::size_t c = 0; c < lines.size(); ++c) {
        out += x.unit(int(c) + 2, lines[c]);
        for (int l = 1; l <= lines[c]; ++l)
            out += x.line(l, "N" + QByteArray::number(gen.generate() % 10));
    }
    out += Sound837::tail(x.number, x.group, segments);
    if (lines.empty() || out.size() > size) return QByteArray(size, 'c');  // too small
    // The notes make up what is left, each to at most its longest.
    qsizetype left = size - out.size();
    for (qsizetype at = out.indexOf("NTE*ADD*"); left > 0 && at >= 0;
         at = out.indexOf("NTE*ADD*", at + 1)) {
        const qsizetype end = out.indexOf('~', at);
        const qsizetype grow = std::min<qsizetype>(left, kNoteMax - (end - at - 8));
        QByteArray more;
        for (qsizetype i = 0; i < grow; ++i) more += char('A' + gen.generate() % 26);
        out.insert(end, more);
        left -= grow;
    }
    return left == 0 ? out : QByteArray(size, 'c');
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
