#pragma once
#include "base/ports.h"

namespace zv {

// Message boxes as the user sees them: modal, captioned "ZUDUVOR".
class MessageBoxDialogs : public Dialogs {
public:
    void message(const QString& text, MessageKind kind) override;
    bool askOkCancel(const QString& text, MessageIcon icon) override;
};

}  // namespace zv
