#pragma once
// The Delete Claim Files button: the claim files waiting on the server listed in the
// picker; a pick deletes the chosen one on the server.
#include <QString>

#include "tasks/task_context.h"

namespace zv {

class DeleteClaims {
public:
    explicit DeleteClaims(const TaskContext& ctx) : ctx_(ctx) {}
    void list();
    // The picker's delete action for `name`.
    void pick(const QString& name);
    // The second stage: `name` deleted on the server.
    void deleteOnServer(const QString& name);

private:
    TaskContext ctx_;
};

}  // namespace zv
