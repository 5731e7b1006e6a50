#pragma once
// The View Submitted Claims button: the backups listed in the picker; a pick shows the
// chosen one in the text viewer, an X12 claim split into one segment per line first.
#include <QString>

#include "tasks/task_context.h"

namespace zv {

class ViewClaims {
public:
    explicit ViewClaims(const TaskContext& ctx) : ctx_(ctx) {}
    void list();
    // The picker's view action for `name`.
    void pick(const QString& name);
    // The second stage: `name` shown, the picker hidden.
    void show(const QString& name);
    // Views the backup `name` (also the history window's double-click).
    void viewClaimFile(const QString& name);
    // Where the converted copy of a viewed 837 claim goes.
    QString claimTextPath() const { return ctx_.m.Paths.WorkRoot + QStringLiteral("claim.txt"); }

private:
    TaskContext ctx_;
};

}  // namespace zv
