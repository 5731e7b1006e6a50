#pragma once
// What the ledger could not take when it was written (another program held it past the
// wait, the disk was full at the commit), kept in a small file beside it until it can:
// one write a line, in the order done, each written to the disk before the step goes on.
#include <QJsonObject>
#include <QString>
#include <vector>

#include "base/result.h"

namespace zv {

class PendingWrites {
public:
    explicit PendingWrites(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }
    bool any() const;
    // Every write kept, oldest first; a line that cannot be read is dropped.
    std::vector<QJsonObject> read() const;
    [[nodiscard]] Status add(const QJsonObject& write);
    // Keeps only `rest` (the writes not yet taken); none removes the file.
    [[nodiscard]] Status keepOnly(const std::vector<QJsonObject>& rest);

private:
    QString path_;
};

}  // namespace zv
