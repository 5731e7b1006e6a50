#include "gui/zuduvor_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <thread>

#include "gui/form2.h"
#include "gui/form5.h"
#include "gui/history_window.h"
#include "zuduvor_config.h"

namespace zv {

namespace {

// Positions are given in twips; the screen has 15 twips to a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QFont captionFont(double points = 8.25, bool bold = true) {
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The layout was drawn for a narrow system font; where the font here is wider, the
// text is made smaller until it fits its control rather than being cut off.
void fitText(QWidget* w, const QString& text, int margin) {
    QFont f = w->font();
    while (f.pointSizeF() > 5.0 && QFontMetrics(f).horizontalAdvance(text) > w->width() - margin)
        f.setPointSizeF(f.pointSizeF() - 0.25);
    w->setFont(f);
}

}  // namespace

ZuduvorWindow::ZuduvorWindow(Module1& m, Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QWidget(parent), m_(m), dialogs_(dialogs) {
    setObjectName(QStringLiteral("ZUDUVOR"));
    setWindowTitle(QString::fromUtf8(config::kVersionCaption));
    setFixedSize(9075 / 15, 6570 / 15);

    auto label = [this](const char* name, const QString& text, QRect at, QFont font) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(at);
        l->setFont(font);
        fitText(l, text, 0);
        return l;
    };
    auto button = [this](Control c, const char* name, const char* text, QRect at) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(at);
        b->setFont(captionFont());
        fitText(b, b->text(), 8);
        buttons_[c] = b;
        return b;
    };
    auto box = [this](const char* name, QRect at) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(at);
        e->setReadOnly(true);  // display fields: written by the program only
        return e;
    };

    // Created in tab order.
    auto* label1 = label("Label1", QString::fromUtf8(config::kCompanyName),
                         twips(2400, 240, 4335, 255), captionFont(12));
    label1->setAlignment(Qt::AlignCenter);
    auto* sendClaims = button(Control::SendClaims, "SendClaims", "Send Claims to ZOD",
                              twips(120, 1920, 2055, 375));
    button(Control::GetReports, "GetReports", "Get Reports from ZOD", twips(2400, 1920, 2055, 375));
    button(Control::ViewReports, "ViewReports", "View Old Reports", twips(4680, 1920, 1695, 375));
    button(Control::Setup, "Setup", "Setup", twips(8160, 600, 735, 375));
    button(Control::Command1, "Command1", "Exit", twips(8280, 1080, 615, 375));
    siteIdText_ = box("SiteIDText", twips(2160, 1440, 855, 285));
    dateTimeText_ = box("DateTimeText", twips(6120, 1440, 1935, 285));
    auto* label2 = label("Label2", QStringLiteral("Electronic Claims Secure File Transfer"),
                         twips(2520, 600, 4095, 255), captionFont(9.75));
    label2->setAlignment(Qt::AlignCenter);
    label("Label3", QStringLiteral("Your Site ID is"), twips(720, 1440, 1455, 255), captionFont());
    label("Label4", QStringLiteral("The Current Date and Time is"), twips(3600, 1440, 2535, 255),
          captionFont());
    label("Label5",
          QStringLiteral("Dental Support - ") + QString::fromUtf8(config::kDentalSupport) +
              QStringLiteral(",  Medical Support - ") + QString::fromUtf8(config::kMedicalSupport),
          twips(1680, 960, 5775, 255), captionFont());
    button(Control::HelpCommand, "HelpCommand", "Help", twips(8280, 120, 615, 375));
    button(Control::ResendClaims, "ResendClaims", "Resend Claims to ZOD",
           twips(120, 2520, 2055, 375));
    button(Control::ViewClaims, "ViewClaims", "View Submitted Claims",
           twips(6600, 1920, 2295, 375));
    button(Control::DeleteClaimFiles, "DeleteClaimFiles", "Delete Claim Files",
           twips(2400, 2520, 1815, 375));
    button(Control::ZODWebSite, "ZODWebSite", "ZOD Web Site", twips(4440, 2520, 1935, 375));
    claimHistory_ = new QPushButton(QStringLiteral("Claim History"), this);
    claimHistory_->setObjectName(QStringLiteral("ClaimHistory"));
    claimHistory_->setGeometry(twips(6600, 2520, 2295, 375));
    claimHistory_->setFont(captionFont());
    fitText(claimHistory_, claimHistory_->text(), 8);
    list1_ = new QListWidget(this);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setGeometry(twips(120, 3120, 8655, 2790));
    // A long transfer's progress, in the free strip under the status list.
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("TransferProgress"));
    progress_->setAccessibleName(QStringLiteral("Transfer progress"));
    progress_->setGeometry(twips(120, 6030, 8655, 375));
    progress_->setRange(0, 100);
    progress_->setTextVisible(true);
    progress_->hide();
    sendClaims->setFocus();

    picker_ = std::make_unique<Form5>();
    logic_ = std::make_unique<Zuduvor>(m_, *this, *picker_, dialogs_, launcher);
    picker_->setClickHandler([this](const PickerLine& line) { logic_->Form5_List1_Click(line); });
    picker_->setExitHandler([this] { logic_->Form5_Command1_Click(); });
    picker_->setAnchor(this);

    auto on = [this](Control c, void (Zuduvor::*handler)()) {
        connect(buttons_[c], &QPushButton::clicked, this,
                [this, handler] { (logic_.get()->*handler)(); });
    };
    on(Control::SendClaims, &Zuduvor::SendClaims_Click);
    on(Control::GetReports, &Zuduvor::GetReports_Click);
    on(Control::ViewReports, &Zuduvor::ViewReports_Click);
    on(Control::Setup, &Zuduvor::Setup_Click);
    on(Control::HelpCommand, &Zuduvor::HelpCommand_Click);
    on(Control::ResendClaims, &Zuduvor::ResendClaims_Click);
    on(Control::ViewClaims, &Zuduvor::ViewClaims_Click);
    on(Control::DeleteClaimFiles, &Zuduvor::DeleteClaimFiles_Click);
    on(Control::ZODWebSite, &Zuduvor::ZODWebSite_Click);
    connect(buttons_[Control::Command1], &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(claimHistory_, &QPushButton::clicked, this, [this] { ClaimHistory_Click(); });
    connect(list1_, &QListWidget::itemClicked, this, [this] { logic_->List1_Click(); });
}

ZuduvorWindow::~ZuduvorWindow() { delete form2_.data(); }

void ZuduvorWindow::ClaimHistory_Click() {
    if (!history_) history_ = std::make_unique<HistoryWindow>(*logic_);
    history_->refresh();
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void ZuduvorWindow::Command1_Click() {
    logic_->Command1_Click();
    QApplication::closeAllWindows();
    QApplication::exit(0);
}

void ZuduvorWindow::closeEvent(QCloseEvent* event) {
    // While a server call runs the window cannot go: the call's result must land.
    if (busy_) {
        event->ignore();
        return;
    }
    logic_->Command1_Click();
    event->accept();
    QApplication::quit();
}

void ZuduvorWindow::statusAdd(const QString& line) {
    list1_->addItem(line);
    list1_->scrollToBottom();
}

void ZuduvorWindow::statusClear() { list1_->clear(); }
void ZuduvorWindow::focusStatus() { list1_->setFocus(); }
void ZuduvorWindow::setDateTimeText(const QString& text) {
    dateTimeText_->setText(text);
    fitText(dateTimeText_, text, 8);
}
void ZuduvorWindow::setSiteIDText(const QString& text) { siteIdText_->setText(text); }
void ZuduvorWindow::setEnabled(Control control, bool enabled) {
    buttons_.at(control)->setEnabled(enabled);
}

void ZuduvorWindow::bringToFront() {
    show();
    raise();
    activateWindow();
}

void ZuduvorWindow::processPendingInput() { QCoreApplication::processEvents(); }

void ZuduvorWindow::runBlocking(const std::function<void()>& work) {
    // The call runs on a worker thread; this thread keeps painting (and showing the
    // status lines already added) but takes no user input until the call is done.
    QEventLoop loop;
    std::atomic<bool> done = false;
    busy_ = true;
    std::thread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&] { loop.quit(); }, Qt::QueuedConnection);
    });
    // Once the application is quitting (Exit clicked during a send's chance for input)
    // no event loop runs any more: wait for the call without painting.
    while (!done)
        if (loop.exec(QEventLoop::ExcludeUserInputEvents) < 0) break;
    worker.join();
    busy_ = false;
}

void ZuduvorWindow::showProgress(const QString& text, int percent) {
    // Called from the worker thread of runBlocking: the bar is changed on this one.
    const int epoch = progressEpoch_;
    QMetaObject::invokeMethod(
        this,
        [this, text, percent, epoch] {
            if (epoch != progressEpoch_) return;
            progress_->setFormat(QString(text).replace(QLatin1Char('%'), QStringLiteral("%%")));
            progress_->setValue(percent);
            progress_->show();
        },
        Qt::QueuedConnection);
}

void ZuduvorWindow::hideProgress() {
    ++progressEpoch_;
    QMetaObject::invokeMethod(
        this, [this] { progress_->hide(); },
        QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void ZuduvorWindow::showSetupChooser() {
    if (!form2_) {
        form2_ =
            new Form2(SetupContext{m_, dialogs_, [this](const QString& id) { setSiteIDText(id); }});
    }
    form2_->show();
    form2_->raise();
    form2_->activateWindow();
}

}  // namespace zv
