#pragma once
// The content check of a claim file before it is numbered: what ZOD's front end would
// reject is asked about, with the full list written where staff can open it and hand it
// to the billing software's support; what would not reject goes to the status list.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

namespace zv {

struct ClaimCheckVerdict {
    QString question;     // "NAME would be rejected by ZOD: ... Send it anyway?"; empty when none
    QString heldBackWhy;  // the status line's rest after NAME, when the answer is Cancel
    QStringList notes;    // status lines for warnings, when nothing would reject
};

// Checks `bytes` (the practice's file `fileName`, shown as `shownName`). The findings go
// to `checksDir`/fileName.txt (replaced; removed when the file is now clean).
ClaimCheckVerdict checkBeforeNumbering(const QByteArray& bytes, const QString& fileName,
                                       const QString& shownName, const QString& checksDir,
                                       const QDate& today);

}  // namespace zv
