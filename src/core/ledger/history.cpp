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
    return r;
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
        QStringList quoted;
        for (const QString& f : fields) quoted << csvField(f);
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out;
}

}  // namespace zv
