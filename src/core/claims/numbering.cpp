#include "claims/numbering.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>

#include "base/platform.h"

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

int claimNumberOf(const QString& name, const QString& siteId, const QString& fileType) {
    const QString digits = name.mid(siteId.size(), 4);
    if (digits.size() != 4 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    const int number = digits.toInt();
    return name.compare(makeClaimName(siteId, number, fileType), Qt::CaseInsensitive) == 0 ? number
                                                                                           : -1;
}

QString uploadTempName(const QString& claimName, const QString& token) {
    return QLatin1Char('.') + claimName + QLatin1Char('.') + token + QStringLiteral(".part");
}

QString claimNameOfTemp(const QString& name) {
    const QString tail = QStringLiteral(".part");
    if (name.size() <= tail.size() + 1 || !name.startsWith(QLatin1Char('.')) ||
        !name.endsWith(tail))
        return {};
    const QString inner = name.mid(1, name.size() - 1 - tail.size());
    const qsizetype dot = inner.lastIndexOf(QLatin1Char('.'));
    // Earlier versions wrote ".NAME.part" with no token: NAME holds a dot of its own.
    if (dot <= 0 || !inner.left(dot).contains(QLatin1Char('.'))) return inner;
    return inner.left(dot);
}

QString newUploadToken() {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString token;
    for (int i = 0; i < 10; ++i)
        token += QLatin1Char(kDigits[QRandomGenerator::system()->bounded(36)]);
    return token;
}

Result<int> readSequenceFile(const QString& path) {
    QFile file(path);
    // Read-write opening creates a missing file empty and leaves an existing one as is.
    if (!file.open(QIODevice::ReadWrite))
        return Result<int>::failure(fileError("cannot be opened", path, file.errorString()));
    const QByteArray record = file.read(kRecordSize);
    if (file.error() != QFileDevice::NoError)
        return Result<int>::failure(fileError("cannot be read", path, file.errorString()));
    return parseSequenceRecord(record);
}

Status writeSequenceFile(const QString& path, int number) {
    if (number < 0 || number > kLastSubmissionNumber)
        return fail(
            fileError("cannot hold", path,
                      QStringLiteral("the number %1 has more than four digits").arg(number)));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return fail(fileError("cannot be opened", path, file.errorString()));
    const QByteArray text = submissionNumberText(number).toLatin1();
    // Only record 1 is replaced; bytes after it stay. The number must be on disk before
    // the caller goes on, or a crash could hand the same number out twice.
    if (!file.seek(0) || file.write(text) != kRecordSize || !flushToDisk(file))
        return fail(fileError("cannot be written", path, file.errorString()));
    return {};
}

Status createSequenceFileIfMissing(const QString& path) {
    QFile file(path);
    if (file.exists()) return {};
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Someone else created it in the meantime: that one stands.
        if (file.exists()) return {};
        return fail(fileError("cannot be created", path, file.errorString()));
    }
    if (file.write("0000", kRecordSize) != kRecordSize || !flushToDisk(file))
        return fail(fileError("cannot be written", path, file.errorString()));
    return {};
}

}  // namespace zv
