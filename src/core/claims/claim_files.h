#pragma once
// The local file work of a send, apart from the server: whole copies, the join of a
// dental package's files with its journal, the next free submission number and the
// names the program cannot read.
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/platform.h"  // isPlainFile: a link could hand the setup file to the server
#include "base/result.h"
#include "claims/send_observer.h"

namespace zv {

// The joined file's name while it is written, in the practice's folder.
inline const QString kJoinTarget = QStringLiteral("temp.xxx");

// Copies `from` to `to` and checks that the copy is whole. `to` must not exist yet; a
// copy that is not whole is taken away again.
Status copyWhole(const QString& from, const QString& to);

// Joins the files `found` (names in `folder`, in this order) into the first one and
// returns its name. `journal` names the sources already inside the joined file until
// they are gone, so that a run cut off in between neither loses a claim nor joins one
// in twice: a journal left by such a run is put right first.
Result<QString> joinClaimFiles(const QString& folder, QStringList found, const QString& journal,
                               SendObserver* observer = nullptr);

// The first number after `last` whose claim name has no copy in any of `copyFolders`
// (an upload that did not complete, or a run that was cut off, keeps its number) and is
// not in `serverNames` (upper-cased names waiting on the server, which must never be
// replaced); fails when the numbers up to 9999 are used up.
Result<int> nextFreeNumber(int last, const QString& siteId, const QString& fileType,
                           const QStringList& copyFolders, const QSet<QString>& serverNames = {});

// True when the claim folder `folder` is one of the program's own (both canonical, "" when
// unknown): the work root `root` itself, or its claims, claimsbu or reports folder or one
// below them. Its user folder is the practice's, as the catalogue's defaults intend.
bool isProgramsOwnFolder(const QString& folder, const QString& root);

// Names in `folder` matching `mask` whose bytes cannot be spelled back from their text
// form (not UTF-8): the program can neither list nor open such a file, so without a
// word it would stay behind unsent at every run.
QStringList unreachableNames(const QString& folder, const QString& mask);

}  // namespace zv
