#include "gui/form2.h"

#include <QBoxLayout>
#include <QLabel>

namespace zv {

Form2::Form2(SetupContext ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(std::move(ctx)) {
    setWindowTitle(QStringLiteral("ZUDUVOR Setup"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* Label1 = new QLabel(QStringLiteral("Claim Submission and Report Setup"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(setupFont(12, true));
    auto button = [&](const QString& name, const QString& caption, double points) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setFont(setupFont(points, true));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* Command1 =
        button(QStringLiteral("Command1"), QStringLiteral("Claim Submission"), 9.75);
    QPushButton* Command2 = button(QStringLiteral("Command2"), QStringLiteral("Reports"), 9.75);
    QPushButton* Command3 = button(QStringLiteral("Command3"), QStringLiteral("Exit"), 8.25);

    // Heading and Exit on top, the two setup buttons side by side under them.
    auto* top = new QHBoxLayout;
    top->addWidget(Label1, 1);
    top->addWidget(Command3);
    auto* choices = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command2}) {
        b->setMinimumHeight(40);
        choices->addWidget(b, 1);
    }
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addSpacing(8);
    column->addLayout(choices);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
}

Form2::~Form2() {
    // A setup window that is showing stays open on its own; a hidden one could never
    // be shown again and goes with the chooser.
    for (SetupWindow* w : {static_cast<SetupWindow*>(form3_), static_cast<SetupWindow*>(form4_)}) {
        if (!w) continue;
        if (w->isVisible())
            w->releaseFromOwner();
        else
            delete w;
    }
}

void Form2::Command1_Click() {
    if (!form3_) form3_ = new Form3(ctx_);
    form3_->openSetup();
}

void Form2::Command2_Click() {
    if (!form4_) form4_ = new Form4(ctx_);
    form4_->openSetup();
}

void Form2::Command3_Click() { hide(); }

}  // namespace zv
