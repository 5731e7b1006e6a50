#pragma once
// "ZUDUVOR Setup": the setup chooser. It opens the claim file setup and the report
// setup, creating each on first use (and again after its title-bar close discarded it).
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "gui/form3.h"
#include "gui/form4.h"
#include "gui/setup_window.h"

namespace zv {

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(SetupContext ctx, QWidget* parent = nullptr);
    ~Form2() override;

    void Command1_Click();  // "Claim Submission"
    void Command2_Click();  // "Reports"
    void Command3_Click();  // "Exit"

    // Null until first opened, and again after the title-bar close discarded it.

private:
    SetupContext ctx_;
    QPointer<Form3> form3_;
    QPointer<Form4> form4_;
};

}  // namespace zv
