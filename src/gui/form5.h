#pragma once
// The claim file picker "ZUDUvor Claim Files": a modeless window beside the main
// window whose list the resend, delete and view tasks fill.
#include <QWidget>
#include <functional>

#include "base/ports.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace zv {

class Form5 : public QWidget, public PickerView {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

    void setClickHandler(std::function<void(const PickerLine&)> handler) {
        onClick_ = std::move(handler);
    }
    void setExitHandler(std::function<void()> handler) { onExit_ = std::move(handler); }
    // The window the picker is shown beside.
    void setAnchor(QWidget* anchor) { anchor_ = anchor; }

    QListWidget* list() const { return list1_; }
    QString labelText(int which) const;
    // Clicks a line as the user would.
    void clickLine(int row);

    // PickerView
    void clearList() override;
    void setLabels(const QString& label1, const QString& label2, const QString& label3) override;
    void addLine(const PickerLine& line) override;
    void showPicker() override;
    void hidePicker() override;
    bool isPickerVisible() const override;
    void setListEnabled(bool enabled) override;

private:
    void List1_Click(int row);
    void Command1_Click();

    QLabel* label1_;
    QLabel* label2_;
    QLabel* label3_;
    QListWidget* list1_;
    QPushButton* command1_;
    QWidget* anchor_ = nullptr;
    std::function<void(const PickerLine&)> onClick_;
    std::function<void()> onExit_;
};

}  // namespace zv
