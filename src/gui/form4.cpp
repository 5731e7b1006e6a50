#include "gui/form4.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "setup/setup_file.h"
#include "tasks/help_texts.h"

namespace zv {

Form4::Form4(SetupContext ctx, QWidget* parent)
    : SetupWindow(std::move(ctx), QStringLiteral("ZUDUVOR Report Setup"), parent) {
    const QFont labelFont = setupFont(8.25, true);
    const QFont boxFont = setupFont(8.25, false);

    QLabel* Label1 =
        makeLabel(QStringLiteral("Label1"), QStringLiteral("Report Setup"), setupFont(9.75, true));
    QLabel* Label2 = makeLabel(QStringLiteral("Label2"),
                               QStringLiteral("Select Path to Report Folder"), labelFont);
    QLabel* Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("Directory Path"),
                               labelFont, Qt::AlignRight | Qt::AlignVCenter);

    lists_ = new FolderLists(ctx_.dialogs, this);
    QComboBox* Drive1 = lists_->driveList();
    QListWidget* Dir1 = lists_->folderList();
    Drive1->setFont(boxFont);
    Dir1->setFont(boxFont);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(boxFont);
    auto button = [&](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setFont(labelFont);
        b->setAutoDefault(false);
        return b;
    };
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("Save Report Setup"));
    HelpCommand = button(QStringLiteral("HelpCommand"), QStringLiteral("Help"));
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("Exit"));
    helpBox()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* grid = new QGridLayout(this);
    auto* topRight = new QHBoxLayout;
    topRight->addStretch();
    topRight->addWidget(HelpCommand);
    topRight->addWidget(Command2);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addLayout(topRight, 0, 2);
    grid->addWidget(Label2, 1, 0, 1, 2);
    grid->addWidget(Drive1, 2, 0, 1, 2);
    grid->addWidget(Dir1, 3, 0, 1, 2);
    grid->addWidget(Label3, 4, 0);
    grid->addWidget(Text1, 4, 1, 1, 2);
    grid->addWidget(Command1, 5, 2, Qt::AlignRight);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    resize(520, 400);

    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, HelpCommand);
    setTabOrder(HelpCommand, helpBox());
    setTabOrder(helpBox(), Command2);
    Drive1->setFocus();

    connect(lists_, &FolderLists::driveChosen, this, &Form4::Drive1_Change);
    connect(lists_, &FolderLists::pathChanged, this, &Form4::Dir1_Change);
    connect(Text1, &QLineEdit::textChanged, this, &Form4::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(HelpCommand, &QPushButton::clicked, this, &Form4::HelpCommand_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    onLabelClick(Label2, [this] { Label2_Click(); });
}

void Form4::openSetup() {
    show();
    raise();
    activateWindow();
    Text1->setText(ctx_.m.Setup.RptPath);
}

QRect Form4::helpArea() const {
    // Over the drive and folder lists.
    const QRect lists = lists_->driveList()->geometry().united(lists_->folderList()->geometry());
    return lists.isValid() ? lists : rect();
}

void Form4::Drive1_Change() { lists_->openChosenDrive(); }

void Form4::Dir1_Change() { Text1->setText(lists_->path()); }

void Form4::Text1_Change() { ctx_.m.Setup.RptPath = folderValue(Text1->text()); }

void Form4::Command1_Click() {
    Text1_Change();
    if (writeSetup())
        ctx_.dialogs.message(QStringLiteral("Setup has been saved"), MessageKind::Info);
}

void Form4::Command2_Click() { exitWindow(); }

void Form4::HelpCommand_Click() { toggleHelp(reportSetupHelpText()); }

void Form4::Label2_Click() { hideHelp(); }

}  // namespace zv
