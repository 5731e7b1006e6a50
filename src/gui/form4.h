#pragma once
// "ZUDUVOR Report Setup": the folder that receives downloaded reports. A change is in
// force at once; Save writes all settings.
#include <QLineEdit>
#include <QPushButton>

#include "gui/folder_lists_window.h"
#include "gui/setup_window.h"

namespace zv {

class Form4 : public SetupWindow {
    Q_OBJECT
public:
    explicit Form4(SetupContext ctx, QWidget* parent = nullptr);

    // The chooser's "Reports": shows the window and fills the folder box.
    void openSetup();

    void Drive1_Change();
    void Dir1_Change();
    void Text1_Change();
    void Command1_Click();
    void Command2_Click();
    void HelpCommand_Click();
    void Label2_Click();

protected:
    QRect helpArea() const override;

private:
    FolderLists* lists_;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* HelpCommand;
    QPushButton* Command2;
};

}  // namespace zv
