#pragma once
// File masks with "*" and "?", matched without regard to case ("*.*" matches every
// name), and the folder search built on them.
#include <QString>
#include <QStringList>

namespace zv {

bool maskMatches(const QString& mask, const QString& name);

// Ordinary files of `folder` whose names match `mask`: no folders, no dot-files, no
// links to folders. Sorted by name without regard to case. A folder that cannot be
// read gives an empty list.
QStringList findFiles(const QString& folder, const QString& mask);

}  // namespace zv
