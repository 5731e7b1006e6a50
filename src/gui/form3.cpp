#include "gui/form3.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "claims/numbering.h"
#include "setup/catalogue.h"
#include "setup/setup_file.h"
#include "tasks/help_texts.h"

namespace zv {

namespace {

template <class W>
W* named(W* widget, const QString& name, const QFont& font) {
    widget->setObjectName(name);
    widget->setFont(font);
    return widget;
}

}  // namespace

Form3::Form3(SetupContext ctx, QWidget* parent)
    : SetupWindow(std::move(ctx), QStringLiteral("ZUDUVOR Claim File Setup"), parent) {
    const QFont heading = setupFont(9.75, true);
    const QFont labelFont = setupFont(8.25, true);
    const QFont boxFont = setupFont(8.25, false);
    const Qt::Alignment besideBox = Qt::AlignRight | Qt::AlignVCenter;

    QLabel* Label1 =
        makeLabel(QStringLiteral("Label1"), QStringLiteral("Claim Submission Setup"), heading);
    QLabel* Label4 =
        makeLabel(QStringLiteral("Label4"), QStringLiteral("Select Software from List"), labelFont);
    QLabel* Label5 =
        makeLabel(QStringLiteral("Label5"), QStringLiteral("Select Path to Claim File"), labelFont);
    QLabel* Label2 =
        makeLabel(QStringLiteral("Label2"), QStringLiteral("File Path"), labelFont, besideBox);
    QLabel* Label11 =
        makeLabel(QStringLiteral("Label11"), QStringLiteral("Software"), labelFont, besideBox);
    QLabel* Label10 =
        makeLabel(QStringLiteral("Label10"), QStringLiteral("File Type"), labelFont, besideBox);
    QLabel* Label6 =
        makeLabel(QStringLiteral("Label6"), QStringLiteral("Enter Site ID"), labelFont, besideBox);
    QLabel* Label7 =
        makeLabel(QStringLiteral("Label7"), QStringLiteral("Enter Password"), labelFont, besideBox);
    QLabel* Label9 =
        makeLabel(QStringLiteral("Label9"), QStringLiteral("File Name"), labelFont, besideBox);
    QLabel* Label3 = makeLabel(QStringLiteral("Label3"),
                               QStringLiteral("Wild cards permitted (i.e. *.clm)"), boxFont);

    FileTypeList = named(new QListWidget(this), QStringLiteral("FileTypeList"), boxFont);
    FileTypeList->setSelectionMode(QAbstractItemView::SingleSelection);
    FileTypeText = named(new QLineEdit(this), QStringLiteral("FileTypeText"), boxFont);
    FileExt = named(new QLineEdit(this), QStringLiteral("FileExt"), boxFont);
    SiteIDText = named(new QLineEdit(this), QStringLiteral("SiteIDText"), boxFont);
    PassWordText = named(new QLineEdit(this), QStringLiteral("PassWordText"), boxFont);
    FilePathText = named(new QLineEdit(this), QStringLiteral("FilePathText"), boxFont);
    FileNameText = named(new QLineEdit(this), QStringLiteral("FileNameText"), boxFont);
    SaveCommand = named(new QPushButton(QStringLiteral("Save Claim Submission Setup"), this),
                        QStringLiteral("SaveCommand"), labelFont);
    HelpCommand = named(new QPushButton(QStringLiteral("Help"), this),
                        QStringLiteral("HelpCommand"), labelFont);
    Command1 =
        named(new QPushButton(QStringLiteral("Exit"), this), QStringLiteral("Command1"), labelFont);
    for (QPushButton* button : {SaveCommand, HelpCommand, Command1}) button->setAutoDefault(false);

    helpBox()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lists_ = new FolderLists(ctx_.dialogs, this);
    QComboBox* Drive1 = lists_->driveList();
    QListWidget* Dir1 = lists_->folderList();
    Drive1->setFont(boxFont);
    Dir1->setFont(boxFont);

    // Left: the software list and the Software / File Type / Site ID / Password rows.
    // Right: drive and folder lists, File Name beside Password with the hint under it.
    auto* grid = new QGridLayout(this);
    auto* topRight = new QHBoxLayout;
    topRight->addStretch();
    topRight->addWidget(HelpCommand);
    topRight->addWidget(Command1);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addLayout(topRight, 0, 2, 1, 2);
    grid->addWidget(Label4, 1, 0, 1, 2);
    grid->addWidget(Label5, 1, 2, 1, 2);
    grid->addWidget(FileTypeList, 2, 0, 2, 2);
    grid->addWidget(Drive1, 2, 2, 1, 2);
    grid->addWidget(Dir1, 3, 2, 1, 2);
    grid->addWidget(Label2, 4, 0);
    grid->addWidget(FilePathText, 4, 1, 1, 3);
    grid->addWidget(Label11, 5, 0);
    grid->addWidget(FileTypeText, 5, 1);
    grid->addWidget(Label10, 6, 0);
    grid->addWidget(FileExt, 6, 1);
    grid->addWidget(Label6, 7, 0);
    grid->addWidget(SiteIDText, 7, 1);
    grid->addWidget(Label7, 8, 0);
    grid->addWidget(PassWordText, 8, 1);
    grid->addWidget(Label9, 8, 2);
    grid->addWidget(FileNameText, 8, 3);
    grid->addWidget(Label3, 9, 3);
    grid->addWidget(SaveCommand, 10, 3, Qt::AlignRight);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    resize(640, 460);

    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, FilePathText);
    setTabOrder(FilePathText, FileNameText);
    setTabOrder(FileNameText, FileTypeList);
    setTabOrder(FileTypeList, SiteIDText);
    setTabOrder(SiteIDText, PassWordText);
    setTabOrder(PassWordText, SaveCommand);
    setTabOrder(SaveCommand, FileTypeText);
    setTabOrder(FileTypeText, HelpCommand);
    setTabOrder(HelpCommand, helpBox());
    setTabOrder(helpBox(), Command1);
    setTabOrder(Command1, FileExt);
    Drive1->setFocus();

    connect(FilePathText, &QLineEdit::textChanged, this, &Form3::FilePathText_Change);
    connect(FileNameText, &QLineEdit::textChanged, this, &Form3::FileNameText_Change);
    connect(FileExt, &QLineEdit::textChanged, this, &Form3::FileExt_Change);
    connect(SiteIDText, &QLineEdit::textChanged, this, &Form3::SiteIDText_Change);
    connect(PassWordText, &QLineEdit::textChanged, this, &Form3::PassWordText_Change);
    connect(lists_, &FolderLists::driveChosen, this, &Form3::Drive1_Change);
    connect(lists_, &FolderLists::pathChanged, this, &Form3::Dir1_Change);
    connect(FileTypeList, &QListWidget::currentRowChanged, this, &Form3::FileTypeList_Click);
    connect(SaveCommand, &QPushButton::clicked, this, &Form3::SaveCommand_Click);
    connect(HelpCommand, &QPushButton::clicked, this, &Form3::HelpCommand_Click);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    onLabelClick(Label10, [this] { Label10_Click(); });
    onLabelClick(Label5, [this] { Label5_Click(); });
}

void Form3::openSetup() {
    FileTypeList->clear();
    show();
    raise();
    activateWindow();

    const SetupParameters& s = ctx_.m.Setup;
    FilePathText->setText(s.UserPath);
    FileNameText->setText(s.UserFile);
    SiteIDText->setText(s.SiteID.toUpper());
    FileTypeText->setText(s.SoftType);
    FileExt->setText(s.FileType);

    FileTypeList->addItems(catalogueEntries());
    FileTypeList->setCurrentRow(-1);
}

QRect Form3::helpArea() const {
    // The lower part of the window, under the lists.
    const int top = FilePathText->geometry().top();
    return QRect(8, top, width() - 16, height() - top - 8);
}

void Form3::FilePathText_Change() { ctx_.m.Setup.UserPath = folderValue(FilePathText->text()); }

void Form3::FileNameText_Change() {
    ctx_.m.Setup.UserFile = trimTrailingBlanks(FileNameText->text());
}

void Form3::FileExt_Change() {
    ctx_.m.Setup.FileType = trimTrailingBlanks(FileExt->text()).toUpper();
}

void Form3::SiteIDText_Change() {
    ctx_.m.Setup.SiteID = trimTrailingBlanks(SiteIDText->text()).toLower();
    if (ctx_.showSiteID) ctx_.showSiteID(ctx_.m.Setup.SiteID.toUpper());
}

void Form3::PassWordText_Change() {
    ctx_.m.Setup.PassWord = trimTrailingBlanks(PassWordText->text()).toLower();
}

void Form3::Drive1_Change() { lists_->openChosenDrive(); }

void Form3::Dir1_Change() { FilePathText->setText(lists_->path()); }

void Form3::FileTypeList_Click() {
    const int position = FileTypeList->currentRow();
    const QListWidgetItem* item = FileTypeList->item(position);
    if (!item) return;
    const std::optional<CatalogueDefaults> choice = catalogueChoice(position, item->text());
    if (!choice) return;

    ctx_.m.Setup.SoftType = item->text();
    FileTypeText->setText(item->text());
    FilePathText->setText(localCatalogueFolder(choice->folder, ctx_.m.Paths.WorkRoot));
    FileNameText->setText(choice->fileName);
    FileExt->setText(choice->fileType);
}

void Form3::SaveCommand_Click() {
    if (!writeSetup()) return;
    if (const Status created = createSequenceFileIfMissing(ctx_.m.Paths.SequenceFile); !created) {
        ctx_.dialogs.message(QStringLiteral("The setup has been saved, but the submission "
                                            "number file could not be created.\n%1\n"
                                            "Claims cannot be sent until it exists. Check that "
                                            "the folder can be written to, then save again.")
                                 .arg(created.reason()));
        return;
    }
    ctx_.dialogs.message(QStringLiteral("Setup has been saved."), MessageKind::Info);
}

void Form3::Command1_Click() { exitWindow(); }

void Form3::HelpCommand_Click() { toggleHelp(claimSetupHelpText()); }

void Form3::Label10_Click() { hideHelp(); }

void Form3::Label5_Click() { hideHelp(); }

}  // namespace zv
