#include "base/file_mask.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace zv {

bool maskMatches(const QString& mask, const QString& name) {
    if (mask == QLatin1String("*.*")) return true;
    // Greedy matching that remembers only the latest "*": when a later part fails, that
    // "*" takes one more character. Earlier stars never need to be revisited, so the
    // work is bounded by mask length times name length, with no recursion.
    const qsizetype m = mask.size();
    const qsizetype n = name.size();
    qsizetype mi = 0;
    qsizetype ni = 0;
    qsizetype starMask = -1;
    qsizetype starName = 0;
    while (ni < n) {
        if (mi < m && mask[mi] == QLatin1Char('*')) {
            starMask = mi++;
            starName = ni;
        } else if (mi < m && (mask[mi] == QLatin1Char('?') ||
                              mask[mi].toCaseFolded() == name[ni].toCaseFolded())) {
            ++mi;
            ++ni;
        } else if (starMask >= 0) {
            mi = starMask + 1;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (mi < m && mask[mi] == QLatin1Char('*')) ++mi;
    return mi == m;
}

QStringList findFiles(const QString& folder, const QString& mask) {
    // Files only: links to folders, broken links, devices and pipes are left out, and
    // so are hidden (dot) files.
    const QDir dir(folder);
    QStringList names;
    for (const QString& name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        if (name.startsWith(QLatin1Char('.'))) continue;
        if (maskMatches(mask, name)) names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

}  // namespace zv
