#include "gui/setup_window.h"

#include <QMouseEvent>

#include "setup/setup_file.h"

namespace zv {

QFont setupFont(double points, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

SetupWindow::SetupWindow(SetupContext ctx, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(std::move(ctx)), help_(new QPlainTextEdit(this)) {
    setWindowTitle(caption);
    // The title bar's close button discards the window; Exit only hides it.
    setAttribute(Qt::WA_DeleteOnClose);
    help_->setObjectName(QStringLiteral("HelpText"));
    help_->setFont(setupFont(8.25, false));
    help_->setReadOnly(true);
    help_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    help_->hide();
}

void SetupWindow::toggleHelp(const QString& text) {
    if (!help_->isHidden()) {
        help_->hide();
        return;
    }
    help_->setGeometry(helpArea());
    help_->show();
    help_->raise();
    help_->setPlainText(text);
}

void SetupWindow::exitWindow() {
    hideHelp();
    if (released_)
        close();
    else
        hide();
}

void SetupWindow::onLabelClick(QLabel* label, std::function<void()> handler) {
    labelClicks_[label] = std::move(handler);
    label->installEventFilter(this);
}

bool SetupWindow::writeSetup() {
    const Status written = writeSetupFile(ctx_.m.Paths.SetupFile, ctx_.m.Setup);
    if (written) return true;
    ctx_.dialogs.message(QStringLiteral("The setup could not be saved.\n%1\n"
                                        "Check that the folder exists and that you may write "
                                        "to it, then save again.")
                             .arg(written.reason()));
    return false;
}

QLabel* SetupWindow::makeLabel(const QString& name, const QString& caption, const QFont& font,
                               Qt::Alignment alignment) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

void SetupWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!help_->isHidden()) help_->setGeometry(helpArea());
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        auto it = labelClicks_.find(watched);
        if (it != labelClicks_.end()) {
            it->second();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zv
