#include "ledger/ledger_pending.h"

#include <QFile>
#include <QJsonDocument>

#include "base/durable_file.h"

namespace zv {

bool PendingWrites::any() const { return QFile::exists(path_); }

std::vector<QJsonObject> PendingWrites::read() const {
    std::vector<QJsonObject> out;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject()) out.push_back(doc.object());
    }
    return out;
}

Status PendingWrites::add(const QJsonObject& write) {
    std::vector<QJsonObject> all = read();
    all.push_back(write);
    return keepOnly(all);
}

Status PendingWrites::keepOnly(const std::vector<QJsonObject>& rest) {
    if (rest.empty()) {
        if (!QFile::exists(path_) || QFile::remove(path_)) return {};
        return fail(QStringLiteral("the file ") + path_ + QStringLiteral(" could not be removed"));
    }
    QByteArray data;
    for (const QJsonObject& w : rest)
        data += QJsonDocument(w).toJson(QJsonDocument::Compact) + '\n';
    return writeFileSafely(path_, data);
}

}  // namespace zv
