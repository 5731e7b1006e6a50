#include "ledger/history.h"

#include "base/workstation_rules.h"

namespace zv {

namespace {

QString csvField(QString field) {
    // A spreadsheet would run a field that begins like a formula.
    bool number = false;
    field.toDouble(&number);
    if (!number && !field.isEmpty() && QStringLiteral("=+-@").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r')))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvRecord(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields) quoted << csvField(f);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QString timeCell(const QDateTime& t) {
    return t.isValid() ? dateAndTimeText(t.toLocalTime()) : QString();
}

}  // namespace

QString chargesText(qint64 cents) {
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const qint64 whole = std::abs(cents) / 100;
    QString digits = QString::number(whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    return sign + digits + QLatin1Char('.') +
           QStringLiteral("%1").arg(std::abs(cents) % 100, 2, 10, QLatin1Char('0'));
}

HistoryRow historyRow(const ClaimRecord& c) {
    HistoryRow r;
    r.name = c.name;
    r.sent = c.confirmedAt.isValid() ? timeCell(c.confirmedAt) : QStringLiteral("not sent");
    r.size = QString::number(c.size);
    r.claims = c.facts ? QString::number(c.facts->claimCount) : QStringLiteral("-");
    r.charges = c.facts ? chargesText(c.facts->totalChargeCents) : QStringLiteral("-");
    r.state = stateText(c.state);
    if (c.state == ClaimState::Failed && !c.reason.isEmpty())
        r.state += QStringLiteral(": ") + c.reason;
    r.report = c.answeredBy;
    // Claim by claim, the file's line says what its answers added up to.
    const QString prefix = c.name + QStringLiteral(": ");
    if (c.answerEvents > 0 && c.summary.startsWith(prefix)) {
        r.state = c.summary.mid(prefix.size());
        r.report.clear();
    }
    return r;
}

ClaimRow claimRow(const answers::FileClaim& c) {
    const answers::ClaimVerdict& v = c.verdict;
    ClaimRow r{c.patientControlNumber,
               chargesText(c.chargeCents),
               answers::stateText(v.state),
               v.by,
               {},
               {},
               v.report};
    if (!v.code.isEmpty() || !v.reason.isEmpty())
        r.reason = (v.code + QLatin1Char(' ') + v.reason).trimmed();
    if (v.state == answers::State::Paid) r.paid = chargesText(v.paidCents);
    return r;
}

QStringList claimTitles() {
    return {QStringLiteral("Patient Control Number"),
            QStringLiteral("Charge"),
            QStringLiteral("State"),
            QStringLiteral("By"),
            QStringLiteral("Reason"),
            QStringLiteral("Paid"),
            QStringLiteral("Report")};
}

QStringList claimLines(const std::vector<answers::FileClaim>& claims) {
    QStringList lines;
    for (const answers::FileClaim& c : claims) {
        const ClaimRow r = claimRow(c);
        QString line = QStringLiteral("    ") + r.patientControlNumber.leftJustified(20) +
                       QLatin1Char(' ') + r.charge.rightJustified(12) + QStringLiteral("  ") +
                       r.state;
        if (!r.by.isEmpty()) line += QStringLiteral(" by ") + r.by;
        if (!r.reason.isEmpty()) line += QStringLiteral(": ") + r.reason;
        if (!r.paid.isEmpty()) line += QStringLiteral(", paid ") + r.paid;
        if (!r.report.isEmpty()) line += QStringLiteral(" (report ") + r.report + QLatin1Char(')');
        lines << line;
    }
    return lines;
}

QString claimsCsv(const std::vector<FileClaims>& files) {
    QString out = QStringLiteral(
        "Claim File,Sent,Patient Control Number,Charge,State,By,Reason,Paid,Report\r\n");
    for (const FileClaims& f : files) {
        const QString sent = timeCell(f.file.confirmedAt);
        for (const answers::FileClaim& c : f.claims) {
            const ClaimRow r = claimRow(c);
            const QStringList fields = {
                f.file.name,
                sent,
                r.patientControlNumber,
                QString::number(c.chargeCents / 100.0, 'f', 2),
                r.state,
                r.by,
                r.reason,
                r.paid.isEmpty() ? QString() : QString::number(c.verdict.paidCents / 100.0, 'f', 2),
                r.report};
            out += csvRecord(fields);
        }
    }
    return out;
}

QStringList historyTitles() {
    return {QStringLiteral("Claim File"), QStringLiteral("Sent"),          QStringLiteral("Size"),
            QStringLiteral("Claims"),     QStringLiteral("Total Charges"), QStringLiteral("State"),
            QStringLiteral("Report")};
}

QStringList historyLines(const std::vector<ClaimRecord>& claims) {
    QStringList lines;
    for (const ClaimRecord& c : claims) {
        const HistoryRow r = historyRow(c);
        QString line = r.name.leftJustified(14) + QLatin1Char(' ') + r.sent.leftJustified(22) +
                       QLatin1Char(' ') + r.size.rightJustified(10) + QStringLiteral(" bytes ") +
                       r.claims.rightJustified(5) + QStringLiteral(" claims ") +
                       r.charges.rightJustified(12) + QStringLiteral("  ") + r.state;
        if (!r.report.isEmpty()) line += QStringLiteral(" (report ") + r.report + QLatin1Char(')');
        lines << line;
    }
    return lines;
}

QString historyCsv(const std::vector<ClaimRecord>& claims) {
    QString out = QStringLiteral(
        "Claim File,Number,Sent,Size,Claims,Total Charges,State,Report,SHA-256,Numbered,"
        "Server,Uploads,Sender,Interchange\r\n");
    for (const ClaimRecord& c : claims) {
        const HistoryRow r = historyRow(c);
        const QStringList fields = {
            r.name,
            QString::number(c.number),
            c.confirmedAt.isValid() ? timeCell(c.confirmedAt) : QString(),
            r.size,
            c.facts ? r.claims : QString(),
            c.facts ? QString::number(c.facts->totalChargeCents / 100.0, 'f', 2) : QString(),
            r.state,
            r.report,
            c.sha256,
            timeCell(c.numberedAt),
            c.server,
            QString::number(c.attempts),
            c.facts ? c.facts->sender : QString(),
            c.facts ? c.facts->interchangeNumber : QString()};
        out += csvRecord(fields);
    }
    return out;
}

}  // namespace zv
