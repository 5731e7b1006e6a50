#include "gui/message_box_window.h"

#include <QApplication>
#include <QMessageBox>

namespace zv {

namespace {
const QString kCaption = QStringLiteral("ZUDUVOR");
}

void MessageBoxDialogs::message(const QString& text, MessageKind) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool MessageBoxDialogs::askOkCancel(const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    kCaption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

}  // namespace zv
