#include "setup/setup_file.h"

#include <QDir>
#include <QFile>
#include <array>

#include "base/durable_file.h"
#include "base/text_file.h"

namespace zv {

namespace {

enum class Fold { Keep, Upper, Lower };

struct SetupKey {
    const char* key;  // exactly 8 characters
    QString SetupParameters::*value;
    bool folder;
    Fold writerFold;
};

// The file's order. The report folder keeps its case: lower-casing it would name a
// different folder on a file system that tells case apart.
const std::array<SetupKey, 7> kKeys = {{
    {"UserPath", &SetupParameters::UserPath, true, Fold::Keep},
    {"UserFile", &SetupParameters::UserFile, false, Fold::Keep},
    {"FileType", &SetupParameters::FileType, false, Fold::Upper},
    {"SoftType", &SetupParameters::SoftType, false, Fold::Upper},
    {"SiteID  ", &SetupParameters::SiteID, false, Fold::Lower},
    {"PassWord", &SetupParameters::PassWord, false, Fold::Lower},
    {"RptPath ", &SetupParameters::RptPath, true, Fold::Keep},
}};

constexpr int kKeyWidth = kSetupLineWidth - kSetupValueWidth;

// The 50-character line buffer: cut after 50 characters or padded with blanks.
QString lineBuffer(const QString& text) {
    return text.left(kSetupLineWidth).leftJustified(kSetupLineWidth, QLatin1Char(' '));
}

}  // namespace

QString trimTrailingBlanks(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' ')) --end;
    return text.left(end);
}

QString folderValue(const QString& text) {
    QString value = trimTrailingBlanks(text);
#ifdef Q_OS_WIN
    // A practice's own setup.prm holds "C:\claims\" and names are joined on as they are.
    if (value.endsWith(QLatin1Char('\\'))) return value;
#endif
    if (!value.endsWith(QLatin1Char('/'))) value += QLatin1Char('/');
    return value;
}

SetupReadResult parseSetupBytes(const QByteArray& bytes, SetupParameters& params,
                                const std::function<void(const QString&)>& onSiteID) {
    const QList<QByteArray> lines = splitLines(bytes);
    for (const QByteArray& line : lines) {
        // A line too short to hold a key is an unknown key, even where the padding
        // would make it look like one.
        if (line.size() < kKeyWidth) return {SetupReadOutcome::UnknownKey, {}};
        const QString buffer = lineBuffer(fromCp1252(line.left(kSetupLineWidth)));
        const QString key = buffer.left(kKeyWidth);
        const SetupKey* found = nullptr;
        for (const SetupKey& k : kKeys) {
            if (key == QLatin1String(k.key)) found = &k;
        }
        if (!found) return {SetupReadOutcome::UnknownKey, {}};
        const QString raw = buffer.mid(kKeyWidth);
        QString& target = params.*(found->value);
        target = found->folder ? folderValue(raw) : trimTrailingBlanks(raw);
        if (found->value == &SetupParameters::SiteID && onSiteID) onSiteID(target.toUpper());
    }
    return {SetupReadOutcome::Complete, {}};
}

SetupReadResult readSetupFile(const QString& path, SetupParameters& params,
                              const std::function<void(const QString&)>& onSiteID) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {SetupReadOutcome::Unreadable,
                QStringLiteral("The setup file %1 cannot be read: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString())};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {SetupReadOutcome::Unreadable,
                QStringLiteral("The setup file %1 cannot be read to its end: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString())};
    }
    return parseSetupBytes(bytes, params, onSiteID);
}

QByteArray formatSetupFile(const SetupParameters& params) {
    QByteArray out;
    out.reserve(kKeys.size() * (kSetupLineWidth + 2));
    for (const SetupKey& k : kKeys) {
        QString value = trimTrailingBlanks(params.*(k.value));
        if (k.writerFold == Fold::Upper) value = value.toUpper();
        if (k.writerFold == Fold::Lower) value = value.toLower();
        // A line break inside a value would split the line and let the rest pass for
        // a setting of its own.
        value.replace(QLatin1Char('\r'), QLatin1Char('?'))
            .replace(QLatin1Char('\n'), QLatin1Char('?'));
        // Cut and padded as bytes: a character that needs two UTF-16 units still
        // takes one byte in the file, and every line must be exactly 50 bytes.
        QByteArray line = toCp1252(QLatin1String(k.key) + value).left(kSetupLineWidth);
        out += line.leftJustified(kSetupLineWidth, ' ');
        out += "\r\n";
    }
    return out;
}

Status writeSetupFile(const QString& path, const SetupParameters& params) {
    // It holds the password: readable by its owner alone.
    const Status written =
        writeFileSafely(path, formatSetupFile(params), SafeFile::Access::Private);
    if (written) return written;
    return fail(QStringLiteral("The setup could not be saved. %1").arg(written.reason()));
}

}  // namespace zv
