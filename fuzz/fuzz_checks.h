#pragma once
// The properties the fuzz targets check, shared with the test that replays the kept
// corpus in the normal build. Each check takes raw input bytes and returns an empty
// text when the property holds, otherwise what went wrong.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "answers/answer_reports.h"
#include "base/file_mask.h"
#include "base/module1.h"
#include "base/text_file.h"
#include "claims/numbering.h"
#include "claims/segment_splitter.h"
#include "setup/setup_file.h"
#include "sftp/sftp_wire.h"
#include "x12/x12.h"

namespace zv::fuzz {

struct FieldRule {
    QString SetupParameters::*value;
    const char* key;
    int fold;  // 0 unchanged, 1 upper, -1 lower
    bool folder;
};

inline const FieldRule kFieldRules[] = {
    {&SetupParameters::UserPath, "UserPath", 0, true},
    {&SetupParameters::UserFile, "UserFile", 0, false},
    {&SetupParameters::FileType, "FileType", 1, false},
    {&SetupParameters::SoftType, "SoftType", 1, false},
    {&SetupParameters::SiteID, "SiteID  ", -1, false},
    {&SetupParameters::PassWord, "PassWord", -1, false},
    {&SetupParameters::RptPath, "RptPath ", 0, true},
};

// What reading back a written value must give: the writer's case rule, the value's
// 42 bytes in Windows-1252, trailing blanks dropped, and the reader's folder rule.
inline QString expectedAfterRoundTrip(const FieldRule& rule, const QString& value) {
    QString v = trimTrailingBlanks(value);
    if (rule.fold > 0) v = v.toUpper();
    if (rule.fold < 0) v = v.toLower();
    QByteArray bytes = toCp1252(v).left(kSetupValueWidth);
    bytes.replace('\r', '?').replace('\n', '?');
    const QString back = fromCp1252(bytes);
    return rule.folder ? folderValue(back) : trimTrailingBlanks(back);
}

inline QString checkSetupRoundTrip(const SetupParameters& params) {
    const QByteArray written = formatSetupFile(params);
    if (written.size() != 7 * (kSetupLineWidth + 2)) {
        return QStringLiteral("written file is %1 bytes").arg(written.size());
    }
    SetupParameters back;
    if (parseSetupBytes(written, back).outcome != SetupReadOutcome::Complete) {
        return QStringLiteral("written file does not read back completely");
    }
    for (const FieldRule& rule : kFieldRules) {
        const QString expected = expectedAfterRoundTrip(rule, params.*(rule.value));
        if (back.*(rule.value) != expected) {
            return QStringLiteral("%1 reads back as [%2], expected [%3]")
                .arg(QLatin1String(rule.key), back.*(rule.value), expected);
        }
    }
    // Once read back, writing again changes nothing.
    if (formatSetupFile(back) != formatSetupFile([&] {
            SetupParameters again;
            parseSetupBytes(formatSetupFile(back), again);
            return again;
        }())) {
        return QStringLiteral("second write differs from the first");
    }
    return {};
}

inline QString checkSetupBytes(const QByteArray& data) {
    // The bytes as a setup file.
    SetupParameters parsed;
    int siteShown = 0;
    parseSetupBytes(data, parsed, [&](const QString&) { ++siteShown; });
    for (const FieldRule& rule : kFieldRules) {
        if ((parsed.*(rule.value)).size() > kSetupValueWidth + 1) {
            return QStringLiteral("%1 longer than the line allows").arg(QLatin1String(rule.key));
        }
    }
    QString problem = checkSetupRoundTrip(parsed);
    if (!problem.isEmpty()) return problem;
    // The bytes as values typed into the setup windows, any characters at all.
    const QStringList pieces = QString::fromUtf8(data).split(QChar(0));
    SetupParameters typed;
    for (qsizetype i = 0; i < pieces.size() && i < 7; ++i) {
        typed.*(kFieldRules[i].value) = pieces[i];
    }
    return checkSetupRoundTrip(typed);
}

inline QString checkSequenceRecord(const QByteArray& data) {
    const int n = parseSequenceRecord(data);
    // Plain reference: blanks among the first four bytes carry no meaning up to the
    // first other character, then the leading digits count.
    QByteArray head = data.left(4);
    QByteArray squeezed;
    for (const char c : head) {
        if (c == ' ') continue;
        if (c < '0' || c > '9') break;
        squeezed.append(c);
    }
    const int expected = squeezed.isEmpty() ? 0 : squeezed.toInt();
    if (n != expected) return QStringLiteral("parsed %1, expected %2").arg(n).arg(expected);
    if (n < 0 || n > kLastSubmissionNumber) return QStringLiteral("out of range: %1").arg(n);
    if (parseSequenceRecord(submissionNumberText(n).toLatin1()) != n) {
        return QStringLiteral("number text of %1 does not parse back").arg(n);
    }
    return {};
}

// A matcher built differently from the real one (a table over mask and name
// positions), used only where the table stays small.
inline bool referenceMaskMatches(const QString& mask, const QString& name) {
    if (mask == QLatin1String("*.*")) return true;
    const qsizetype m = mask.size();
    const qsizetype n = name.size();
    std::vector<char> row(n + 1, 0);
    row[0] = 1;
    for (qsizetype i = 0; i < m; ++i) {
        std::vector<char> next(n + 1, 0);
        const QChar c = mask[i];
        if (c == QLatin1Char('*')) {
            char any = 0;
            for (qsizetype j = 0; j <= n; ++j) {
                any = any || row[j];
                next[j] = any;
            }
        } else {
            for (qsizetype j = 1; j <= n; ++j) {
                next[j] = row[j - 1] &&
                          (c == QLatin1Char('?') || c.toCaseFolded() == name[j - 1].toCaseFolded());
            }
        }
        row.swap(next);
    }
    return row[n] != 0;
}

inline QString checkMask(const QByteArray& data) {
    const qsizetype split = data.indexOf('\0');
    const QString mask = QString::fromUtf8(split < 0 ? data : data.left(split));
    const QString name = split < 0 ? QString() : QString::fromUtf8(data.mid(split + 1));
    const bool got = maskMatches(mask, name);
    if (mask.size() * name.size() <= 1000000 && got != referenceMaskMatches(mask, name)) {
        return QStringLiteral("mask [%1] on [%2] gave %3").arg(mask, name).arg(got);
    }
    return {};
}

inline QByteArray referenceSplit(const QByteArray& input) {
    QByteArray out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (input[i] != '~') continue;
        out += input.mid(start, i - start) + "\r\n";
        start = i + 1;
    }
    return out;
}

// The first byte (when there is one) seeds the piece sizes the input is fed in.
inline QString checkSplitter(const QByteArray& data) {
    const unsigned seed = data.isEmpty() ? 0 : static_cast<unsigned char>(data[0]);
    const QByteArray input = data.mid(1);
    QByteArray got;
    SegmentSplitter splitter([&](const char* d, qint64 n) {
        got.append(d, n);
        return true;
    });
    unsigned state = seed * 2654435761u + 1;
    for (qsizetype pos = 0; pos < input.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype piece = std::min<qsizetype>(1 + (state >> 16) % 64, input.size() - pos);
        if (!splitter.feed(input.constData() + pos, piece)) return QStringLiteral("feed failed");
        pos += piece;
    }
    if (splitter.committedBytes() > got.size()) return QStringLiteral("committed past written");
    if (got.left(splitter.committedBytes()) != referenceSplit(input)) {
        return QStringLiteral("output differs from the reference");
    }
    return {};
}

// The X12 readers never fail without a reason, agree with each other on a sound claim
// file, and take text that is not X12 for a report that answers nothing.
inline QString checkX12(const QByteArray& data) {
    const Result<x12::ClaimFileFacts> facts = x12::readClaimFile(data);
    const Result<answers::ParsedReport> report = answers::readAnswers(data);
    if (!facts && facts.reason().isEmpty()) return QStringLiteral("claim file failed silently");
    if (!report && report.reason().isEmpty()) return QStringLiteral("report failed silently");
    if (!x12::looksLikeInterchange(data) &&
        (!report || report->kind != answers::ReportKind::Other || !report->groups.empty() ||
         !report->interchanges.empty() || !report->statuses.empty() ||
         !report->remittances.empty()))
        return QStringLiteral("text that is not X12 read as an answer");
    if (!facts) return {};
    if (facts->claimCount != facts->patientControlNumbers.size())
        return QStringLiteral("claim count differs from the CLM01 count");
    if (!report)
        return QStringLiteral("sound claim file unreadable as a report: ") + report.reason();
    const Result<x12::ClaimFileFacts> again = x12::readClaimFile(data + "\r\n");
    if (!again || again->totalChargeCents != facts->totalChargeCents)
        return QStringLiteral("a line break after the end changed the reading");
    return {};
}

// One reply as a server sends it, length first. Whatever it holds, reading it ends in a
// reply or in words, and a reply never holds more than the packet brought.
inline QString checkSftpReply(const QByteArray& data) {
    const Result<uint32_t> length = wire::packetLength(data.left(4));
    if (length && (*length == 0 || *length > wire::kMaxPacket)) return QStringLiteral("bad length");
    const Result<wire::Reply> reply =
        wire::parseReply(QByteArrayView(data).sliced(qMin<qsizetype>(4, data.size())));
    if (!reply)
        return reply.reason().isEmpty() ? QStringLiteral("a failure without words") : QString();
    qsizetype held = reply->bytes.size();
    for (const wire::NameEntry& e : reply->names) held += e.name.size() + e.longName.size() + 12;
    for (const auto& [name, value] : reply->extensions) held += name.size() + value.size() + 8;
    if (held > data.size()) return QStringLiteral("the reply holds more than the packet");
    if (reply->type == wire::kExtendedReply) (void)wire::parseLimits(reply->bytes);
    return {};
}

}  // namespace zv::fuzz
