#include "console/console.h"

#include "base/module1.h"
#include "base/platform.h"
#include "console/desktop_notice.h"
#include "console/file_check.h"
#include "console/report_schedule.h"
#include "ledger/history.h"
#include "tasks/zuduvor.h"

namespace zv {

void ConsoleRunner::statusAdd(const QString& line) {
    if (!statusShown_) return;
    out_ << line << '\n';
    out_.flush();
}

void ConsoleRunner::message(const QString& text, MessageKind kind) {
    if (kind == MessageKind::Failure && !failed_) firstFailure_ = text;
    if (kind == MessageKind::Failure) failed_ = true;
    err_ << text << '\n';
    err_.flush();
}

void ConsoleRunner::showProgress(const QString& text, int) {
    if (!errorOutputIsTerminal()) return;
    // Kept within one line of a common terminal, or the carriage return would not reach
    // its start; blanks cover the rest of a longer line before.
    const QString line = text.left(79);
    err_ << '\r' << line.leftJustified(progressWidth_);
    err_.flush();
    progressWidth_ = line.size();
}

void ConsoleRunner::hideProgress() {
    if (progressWidth_ == 0) return;
    err_ << '\r' << QString(progressWidth_, QLatin1Char(' ')) << '\r';
    err_.flush();
    progressWidth_ = 0;
}

bool ConsoleRunner::askOkCancel(const QString& text, MessageIcon) {
    err_ << text << (yes_ ? " [OK]" : " [Cancel: add --yes to answer OK]") << '\n';
    err_.flush();
    return yes_;
}

Status ConsoleRunner::open(const QString& target) {
    out_ << target << '\n';
    out_.flush();
    return {};
}

const PickerLine* ConsoleRunner::findLine(const QString& name) const {
    for (const auto& line : lines_)
        if (line.name == name) return &line;
    for (const auto& line : lines_)
        if (line.name.compare(name, Qt::CaseInsensitive) == 0) return &line;
    return nullptr;
}

void ConsoleRunner::printLines() {
    for (const auto& line : lines_) out_ << line.text << '\n';
    out_.flush();
}

void ConsoleRunner::pick(Zuduvor& z, const QString& name, const QString& notFound) {
    const PickerLine* line = pickerShown_ ? findLine(name) : nullptr;
    if (!line) {
        if (pickerShown_)
            message(name + notFound, MessageKind::Failure);
        else
            failed_ = true;
        return;
    }
    z.Form5_List1_Click(*line);
}

int ConsoleRunner::printHistory(Zuduvor& z, bool csv) {
    Ledger* ledger = z.ledger();
    const auto claims = ledger ? ledger->history() : decltype(ledger->history())::failure({});
    if (ledger && !claims)
        message(QStringLiteral("The claim history could not be read: ") + claims.reason(),
                MessageKind::Failure);
    if (!claims) return 1;
    if (csv)
        out_ << historyCsv(*claims);
    else
        for (const QString& line : historyLines(*claims)) out_ << line << '\n';
    out_.flush();
    z.Command1_Click();
    return 0;
}

void ConsoleRunner::runTask(Zuduvor& z, const CommandLine& cl) {
    const QString& c = cl.command;
    if (c == QLatin1String("send")) {
        z.SendClaims_Click();
    } else if (c == QLatin1String("get-reports")) {
        z.GetReports_Click();
    } else if (c == QLatin1String("list-waiting")) {
        z.DeleteClaimFiles_Click();
        printLines();
    } else if (c == QLatin1String("delete")) {
        z.DeleteClaimFiles_Click();
        pick(z, cl.name, QStringLiteral(" is not waiting on the server. Nothing was deleted."));
    } else if (c == QLatin1String("list-backups")) {
        z.ViewClaims_Click();
        printLines();
    } else if (c == QLatin1String("resend")) {
        z.ResendClaims_Click();
        if (pickerShown_)
            pick(z, cl.name, QStringLiteral(" has no backup of this file type. Nothing was sent."));
    } else if (c == QLatin1String("view")) {
        z.ViewClaims_Click();
        pick(z, cl.name, QStringLiteral(" has no backup. Nothing to show."));
    }
}

int ConsoleRunner::schedule(bool on, const QString& workRoot) {
    const Result<QString> done = scheduleReports(on, workRoot);
    if (!done) {
        message(done.reason(), MessageKind::Failure);
        return 1;
    }
    out_ << *done << '\n';
    out_.flush();
    return 0;
}

int ConsoleRunner::run(const CommandLine& cl) {
    if (cl.command == QLatin1String("check"))
        return checkFilesAndPrint(cl.files, cl.json, QDate::currentDate(), out_, err_);
    yes_ = cl.yes;
    statusShown_ = cl.command != QLatin1String("history");
    Module1 m;
    Zuduvor z(m, *this, *this, *this, *this, observer_);
    const StartState started = z.Form_Load(cl.start);
    // The history needs only the work root, not a complete setup.
    if (cl.command == QLatin1String("history") && started != StartState::WorkRootUnusable)
        return printHistory(z, cl.csv);
    // The pickup can be set up before the setup is done; it runs on this work root.
    if (cl.command == QLatin1String("schedule") && started != StartState::WorkRootUnusable)
        return schedule(cl.name == QLatin1String("on"), m.Paths.WorkRoot);
    if (started != StartState::Complete) return 1;
    runTask(z, cl);
    z.Command1_Click();
    // Run by a timer, nobody reads standard error: the desktop is told as well.
    if (!firstFailure_.isEmpty() && !errorOutputIsTerminal()) noticeFailureOnDesktop(firstFailure_);
    return failed_ ? 1 : 0;
}

}  // namespace zv
