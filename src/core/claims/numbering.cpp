#include "claims/numbering.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace zv {

namespace {

constexpr qint64 kRecordSize = 4;

QString fileError(const char* what, const QString& path, const QString& why) {
    return QStringLiteral("The sequence file %1 %2: %3")
        .arg(QDir::toNativeSeparators(path), QLatin1String(what), why);
}

}  // namespace

int parseSequenceRecord(const QByteArray& record) {
    const QByteArray head = record.left(kRecordSize);
    qsizetype i = 0;
    while (i < head.size() && head[i] == ' ') ++i;
    int number = 0;
    for (; i < head.size(); ++i) {
        const char c = head[i];
        if (c == ' ') continue;
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
    }
    return number;
}

QString submissionNumberText(int number) {
    return QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

QString makeClaimName(const QString& siteId, int number, const QString& fileType) {
    return (siteId + submissionNumberText(number) + QLatin1Char('.') + fileType).toUpper();
}

bool readSequenceFile(const QString& path, int* number, QString* error) {
    QFile file(path);
    // Read-write opening creates a missing file empty and leaves an existing one as is.
    if (!file.open(QIODevice::ReadWrite)) {
        if (error) *error = fileError("cannot be opened", path, file.errorString());
        return false;
    }
    const QByteArray record = file.read(kRecordSize);
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = fileError("cannot be read", path, file.errorString());
        return false;
    }
    if (number) *number = parseSequenceRecord(record);
    return true;
}

bool writeSequenceFile(const QString& path, int number, QString* error) {
    if (number < 0 || number > kLastSubmissionNumber) {
        if (error) {
            *error =
                fileError("cannot hold", path,
                          QStringLiteral("the number %1 has more than four digits").arg(number));
        }
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        if (error) *error = fileError("cannot be opened", path, file.errorString());
        return false;
    }
    const QByteArray text = submissionNumberText(number).toLatin1();
    // Only record 1 is replaced; bytes after it stay. The number must be on disk before
    // the caller goes on, or a crash could hand the same number out twice.
    if (!file.seek(0) || file.write(text) != kRecordSize || !file.flush() ||
        ::fsync(file.handle()) != 0) {
        if (error) *error = fileError("cannot be written", path, file.errorString());
        return false;
    }
    return true;
}

bool createSequenceFileIfMissing(const QString& path, QString* error) {
    QFile file(path);
    if (file.exists()) return true;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Someone else created it in the meantime: that one stands.
        if (file.exists()) return true;
        if (error) *error = fileError("cannot be created", path, file.errorString());
        return false;
    }
    if (file.write("0000", kRecordSize) != kRecordSize || !file.flush() ||
        ::fsync(file.handle()) != 0) {
        if (error) *error = fileError("cannot be written", path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace zv
