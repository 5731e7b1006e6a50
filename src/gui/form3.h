#pragma once
// "ZUDUVOR Claim File Setup": where the billing software leaves its claim file, which
// software it is, the file type code, and the site ID and password for the server.
// Every change in a tracked box goes into the settings at once; Save writes them.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "gui/folder_lists_window.h"
#include "gui/setup_window.h"

namespace zv {

class Form3 : public SetupWindow {
    Q_OBJECT
public:
    explicit Form3(SetupContext ctx, QWidget* parent = nullptr);

    // The chooser's "Claim Submission": refills the software list, shows the window
    // and fills the boxes from the settings.
    void openSetup();

    // Value tracking of the boxes.
    void FilePathText_Change();
    void FileNameText_Change();
    void FileExt_Change();
    void SiteIDText_Change();
    void PassWordText_Change();
    void Drive1_Change();
    void Dir1_Change();
    void FileTypeList_Click();
    void SaveCommand_Click();
    void Command1_Click();
    void HelpCommand_Click();
    void Label10_Click();
    void Label5_Click();

protected:
    QRect helpArea() const override;

private:
    FolderLists* lists_;
    QListWidget* FileTypeList;
    QLineEdit* FileTypeText;
    QLineEdit* FileExt;
    QLineEdit* SiteIDText;
    QLineEdit* PassWordText;
    QLineEdit* FilePathText;
    QLineEdit* FileNameText;
    QPushButton* SaveCommand;
    QPushButton* HelpCommand;
    QPushButton* Command1;
};

}  // namespace zv
