#include "gui/form5.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zv {

Form5::Form5(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("ZUDUvor Claim Files"));
    QFont bold;
    bold.setBold(true);
    auto makeLabel = [&](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setFont(bold);
        return l;
    };
    label1_ = makeLabel("Label1");
    label2_ = makeLabel("Label2");
    label3_ = makeLabel("Label3");
    list1_ = new QListWidget(this);
    list1_->setObjectName(QStringLiteral("List1"));
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    list1_->setFont(fixed);  // the columns are aligned with blanks
    label3_->setFont([&] {
        QFont f = fixed;
        f.setBold(true);
        return f;
    }());
    command1_ = new QPushButton(QStringLiteral("Exit"), this);
    command1_->setObjectName(QStringLiteral("Command1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(label2_);
    layout->addWidget(label3_);
    layout->addWidget(list1_, 1);
    layout->addWidget(command1_, 0, Qt::AlignRight);
    resize(420, 360);

    connect(list1_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { List1_Click(list1_->row(item)); });
    connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

QString Form5::labelText(int which) const {
    switch (which) {
        case 1:
            return label1_->text();
        case 2:
            return label2_->text();
        default:
            return label3_->text();
    }
}

void Form5::clickLine(int row) { List1_Click(row); }

void Form5::List1_Click(int row) {
    QListWidgetItem* item = list1_->item(row);
    if (!item || !list1_->isEnabled() || !onClick_) return;
    onClick_(PickerLine{item->text(), item->data(Qt::UserRole).toString()});
}

void Form5::Command1_Click() {
    if (onExit_)
        onExit_();
    else
        hidePicker();
}

void Form5::clearList() { list1_->clear(); }

void Form5::setLabels(const QString& a, const QString& b, const QString& c) {
    label1_->setText(a);
    label2_->setText(b);
    label3_->setText(c);
}

void Form5::addLine(const PickerLine& line) {
    auto* item = new QListWidgetItem(line.text, list1_);
    item->setData(Qt::UserRole, line.name);
}

void Form5::showPicker() {
    if (anchor_ && !isVisible()) {
        const QRect frame = anchor_->frameGeometry();
        move(frame.right() + 8, frame.top());
    }
    show();
    raise();
}

void Form5::hidePicker() { hide(); }
bool Form5::isPickerVisible() const { return isVisible(); }
void Form5::setListEnabled(bool enabled) { list1_->setEnabled(enabled); }

}  // namespace zv
