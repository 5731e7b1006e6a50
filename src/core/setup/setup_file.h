#pragma once
// setup.prm: seven lines of 50 characters (8-character key, value in columns 9-50)
// plus CR LF each; 364 bytes when written by the program.
#include <QByteArray>
#include <QString>
#include <functional>

#include "base/module1.h"
#include "base/result.h"

namespace zv {

inline constexpr int kSetupLineWidth = 50;
inline constexpr int kSetupValueWidth = 42;

enum class SetupReadOutcome { Complete, UnknownKey, Unreadable };

struct SetupReadResult {
    SetupReadOutcome outcome = SetupReadOutcome::Complete;
    QString error;  // for Unreadable: why the file could not be read
};

QString trimTrailingBlanks(const QString& text);
// The folder rule: trailing blanks removed, "/" appended when missing.
QString folderValue(const QString& text);

// Reads setup lines into `params`. Values read before an unknown key stay set.
// `onSiteID` receives the upper-cased site ID each time a SiteID line is read.
SetupReadResult parseSetupBytes(const QByteArray& bytes, SetupParameters& params,
                                const std::function<void(const QString&)>& onSiteID = {});
SetupReadResult readSetupFile(const QString& path, SetupParameters& params,
                              const std::function<void(const QString&)>& onSiteID = {});

// The seven lines in the file's order with the writer's case rules.
QByteArray formatSetupFile(const SetupParameters& params);
// Replaces the file in one step, readable by its owner only; a failure says which file
// and why.
Status writeSetupFile(const QString& path, const SetupParameters& params);

}  // namespace zv
