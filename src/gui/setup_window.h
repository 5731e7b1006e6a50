#pragma once
// What the two setup windows (claim file setup and report setup) have in common: the
// settings they edit, the help box that the Help button shows and hides, the way they
// close, and the save step.
#include <QFont>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>
#include <functional>
#include <map>

#include "base/module1.h"
#include "base/ports.h"

namespace zv {

// What the setup windows work on. `showSiteID` shows a site ID in the main window.
struct SetupContext {
    Module1& m;
    Dialogs& dialogs;
    std::function<void(const QString&)> showSiteID;
};

// The windows' type face; Qt falls back to a similar face where it is missing.
QFont setupFont(double points, bool bold);

class SetupWindow : public QWidget {
    Q_OBJECT
public:
    SetupWindow(SetupContext ctx, const QString& caption, QWidget* parent);

    QPlainTextEdit* helpBox() const { return help_; }
    // The chooser that opened this window is gone: Exit then discards the window
    // instead of keeping it hidden with no one to show it again.
    void releaseFromOwner() { released_ = true; }

protected:
    // Help button: hides a shown box; else shows it with `text`.
    void toggleHelp(const QString& text);
    void hideHelp() { help_->hide(); }
    // Exit button: the help box goes, then the window.
    void exitWindow();
    // Runs `handler` when the label is clicked.
    void onLabelClick(QLabel* label, std::function<void()> handler);
    // Writes setup.prm from memory; false (after telling the user) when it failed.
    bool writeSetup();
    QLabel* makeLabel(const QString& name, const QString& caption, const QFont& font,
                      Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

    // Where the help box lies when shown.
    virtual QRect helpArea() const = 0;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    SetupContext ctx_;

private:
    QPlainTextEdit* help_;
    std::map<QObject*, std::function<void()>> labelClicks_;
    bool released_ = false;
};

}  // namespace zv
