#pragma once
// The Resend Claims button: the backups of this file type listed in the picker; a pick
// copies the chosen backup back to claims/ and resends it.
#include <QString>

#include "tasks/task_context.h"

namespace zv {

class SendClaims;

class ResendClaims {
public:
    ResendClaims(const TaskContext& ctx, SendClaims& send) : ctx_(ctx), send_(send) {}
    void list();
    // The picker's resend action for the backup `name`.
    void pick(const QString& name);

private:
    TaskContext ctx_;
    SendClaims& send_;
};

}  // namespace zv
