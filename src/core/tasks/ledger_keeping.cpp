#include "tasks/ledger_keeping.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>

#include "answers/sent_claims.h"
#include "base/file_digest.h"
#include "x12/x12.h"

namespace zv {

namespace {

// After a write the ledger could not take, the next try waits this long: every try may
// wait out another program's hold on it, and a send must not wait that at every step.
constexpr qint64 kRetryAfterMs = 30'000;

QString isoNow() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }
QDateTime timeIn(const QJsonObject& w) {
    return QDateTime::fromString(w[QLatin1String("at")].toString(), Qt::ISODateWithMs);
}
QString text(const QJsonObject& w, const char* key) { return w[QLatin1String(key)].toString(); }

QJsonObject writeOf(const char* op,
                    std::initializer_list<std::pair<const char*, QJsonValue>> args) {
    QJsonObject w{{QStringLiteral("op"), QLatin1String(op)}, {QStringLiteral("at"), isoNow()}};
    for (const auto& [key, value] : args) w.insert(QLatin1String(key), value);
    return w;
}

}  // namespace

LedgerKeeping::LedgerKeeping(const TaskContext& ctx)
    : ctx_(ctx), pending_(ctx.m.Paths.WorkRoot + QStringLiteral("ledger.pending")) {}

LedgerKeeping::~LedgerKeeping() = default;

Ledger* LedgerKeeping::ledger() {
    if (ctx_.m.Paths.WorkRoot.isEmpty()) return nullptr;
    pending_ = PendingWrites(ctx_.m.Paths.WorkRoot + QStringLiteral("ledger.pending"));
    if (retry_.isValid() && retry_.elapsed() < kRetryAfterMs) return nullptr;
    retry_.invalidate();
    if (!ledger_) {
        Result<Ledger::Opened> opened = Ledger::open(path());
        if (!opened) {
            tellPending(opened.reason());
            return nullptr;
        }
        ledger_ = std::move(opened.value().ledger);
        if (!opened->setAsideAs.isEmpty())
            ctx_.dialogs.message(
                QStringLiteral("The claim history file ledger.db was damaged. It was kept as ") +
                    opened->setAsideAs +
                    QStringLiteral(" and a new claim history was started. Your claims are sent "
                                   "as usual."),
                MessageKind::Info);
    }
    // Kept writes go first, so that the history keeps their order.
    if (pending_.any() && !writePending()) return nullptr;
    return ledger_.get();
}

void LedgerKeeping::keep(const Status& read) {
    if (read || toldRead_) return;
    toldRead_ = true;
    ctx_.dialogs.message(QStringLiteral("The claim history could not be read just now: ") +
                             read.reason() +
                             QStringLiteral(". Your claims are sent as usual. If this happens "
                                            "again, call ZOD."),
                         MessageKind::Info);
}

void LedgerKeeping::tellPending(const QString& reason) {
    retry_.start();
    ledger_.reset();
    index_.reset();
    if (toldPending_) return;
    toldPending_ = true;
    ctx_.dialogs.message(QStringLiteral("The claim history could not be written just now: ") +
                             reason +
                             QStringLiteral(". What was done is kept in ledger.pending and "
                                            "added to the history as soon as it can be. Your "
                                            "claims are sent as usual."),
                         MessageKind::Info);
}

void LedgerKeeping::write(const QJsonObject& w) {
    Status done = fail(QStringLiteral("it is in use"));
    if (ledger()) {
        done = apply(w);
        if (done) return;
    }
    const Status kept = pending_.add(w);
    if (!kept)
        return tellPending(done.reason() + QStringLiteral(", and it could not be kept either (") +
                           kept.reason() + QLatin1Char(')'));
    if (ledger_) tellPending(done.reason());
}

bool LedgerKeeping::writePending() {
    const std::vector<QJsonObject> writes = pending_.read();
    size_t done = 0;
    Status s;
    while (done < writes.size() && (s = apply(writes[done]))) ++done;
    const Status kept = pending_.keepOnly({writes.begin() + qsizetype(done), writes.end()});
    if (done == writes.size() && kept) return true;
    tellPending(s ? kept.reason() : s.reason());
    return false;
}

Status LedgerKeeping::apply(const QJsonObject& w) {
    const QString op = text(w, "op");
    const QString name = text(w, "name");
    const QDateTime at = timeIn(w);
    if (op == QLatin1String("numbered")) return applyNumbered(w);
    if (op == QLatin1String("report")) return applyReport(w);
    if (op == QLatin1String("upload"))
        return ledger_->uploadStarted(name, text(w, "server"), w[QLatin1String("resend")].toBool(),
                                      qint64(w[QLatin1String("size")].toDouble()),
                                      text(w, "sha256"), at);
    if (op == QLatin1String("confirmed")) return ledger_->confirmed(name, at);
    if (op == QLatin1String("failed")) return ledger_->failed(name, text(w, "reason"), at);
    if (op == QLatin1String("forget")) return ledger_->forget(name);
    return {};  // a write of a newer version: not this one's to do
}

Status LedgerKeeping::applyNumbered(const QJsonObject& w) {
    const QString claim = text(w, "name");
    QStringList sources;
    for (const QJsonValue& v : w[QLatin1String("sources")].toArray()) sources << v.toString();
    NewClaim c{claim, w[QLatin1String("number")].toInt(), 0, {}, sources, {}, {}};
    Status read;
    // Hashing and reading a big file takes a while: the window keeps repainting meanwhile.
    ctx_.view.runBlocking([&] {
        MappedFile backup(ctx_.m.Paths.ClaimsBackupDir + claim);
        read = backup.open();
        if (!read) return;
        const QByteArrayView data = backup.bytes();
        c.size = data.size();
        c.sha256 = QString::fromLatin1(sha256(data).toHex());
        if (!x12::isInterchangeType(claim.right(3)) && !x12::looksLikeInterchange(data)) return;
        // A damaged file is still recorded, without the facts it does not hold.
        if (Result<x12::ClaimFileFacts> facts = x12::readJoinedClaimFile(data)) c.facts = *facts;
        if (auto claims = answers::readSentClaims(data)) c.claims = std::move(*claims);
    });
    // The backup is gone (a later run removed it): the file is recorded without it.
    if (!read) c.sha256 = text(w, "sha256");
    return ledger_->numbered(c, timeIn(w));
}

void LedgerKeeping::recordNumbered(const QString& claim, int number, const QStringList& sources) {
    write(writeOf(
        "numbered",
        {{"name", claim}, {"number", number}, {"sources", QJsonArray::fromStringList(sources)}}));
}

void LedgerKeeping::recordUploadStarted(const QString& name, const QString& server, bool resend,
                                        qint64 size, const QString& sha256) {
    write(writeOf("upload", {{"name", name},
                             {"server", server},
                             {"resend", resend},
                             {"size", double(size)},
                             {"sha256", sha256}}));
}

void LedgerKeeping::recordConfirmed(const QString& name) {
    index_.reset();  // a report of this run may answer it
    write(writeOf("confirmed", {{"name", name}}));
}

void LedgerKeeping::recordFailed(const QString& name, const QString& reason) {
    write(writeOf("failed", {{"name", name}, {"reason", reason}}));
}

void LedgerKeeping::recordForget(const QString& name) {
    write(writeOf("forget", {{"name", name}}));
}

std::optional<PriorSend> LedgerKeeping::findPriorSend(const QByteArray& sha256,
                                                      const x12::ClaimFileFacts& facts) {
    Ledger* l = ledger();
    if (!l) return std::nullopt;
    const auto prior = l->priorSend(QString::fromLatin1(sha256.toHex()), facts);
    keep(prior.ok() ? Status() : fail(prior.reason()));
    if (!prior.ok() || !*prior) return std::nullopt;
    return PriorSend{(*prior)->name, (*prior)->confirmedAt.toLocalTime()};
}

}  // namespace zv
