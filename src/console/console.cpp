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

int ConsoleRunner::printHistory(Zuduvor& z, const CommandLine& cl) {
    Ledger* ledger = z.ledger();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto files = ledger ? ledger->history(now) : decltype(ledger->history())::failure({});
    if (ledger && !files)
        message(QStringLiteral("The claim history could not be read: ") + files.reason(),
                MessageKind::Failure);
    if (!files) return 1;
    if (cl.attention)
        std::erase_if(files.value(), [](const ClaimRecord& c) { return !c.attention; });
    std::vector<FileClaims> byClaim;
    for (const ClaimRecord& f : cl.claims ? *files : std::vector<ClaimRecord>()) {
        const auto claims = ledger->fileClaims(f.name, now);
        byClaim.push_back({f, claims ? *claims : std::vector<answers::FileClaim>()});
    }
    if (cl.csv) {
        out_ << (cl.claims ? claimsCsv(byClaim) : historyCsv(*files));
    } else {
        for (size_t i = 0; i < files->size(); ++i) {
            out_ << historyLines({(*files)[i]}).join(QLatin1Char('\n')) << '\n';
            if (cl.claims)
                for (const QString& line : claimLines(byClaim[i].claims)) out_ << line << '\n';
        }
    }
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
        return printHistory(z, cl);
    // The pickup can be set up before the setup is done; it runs on this work root.
    if (cl.command == QLatin1String("schedule") && started != StartState::WorkRootUnusable)
        return schedule(cl.name == QLatin1String("on"), m.Paths.WorkRoot);
    if (started != StartState::Complete) return 1;
    // Run by a timer, nobody reads standard error: the desktop is told as well.
    const bool attended = errorOutputIsTerminal();
    z.setAttended(attended);
    runTask(z, cl);
    z.Command1_Click();
    if (!firstFailure_.isEmpty() && !attended) noticeFailureOnDesktop(firstFailure_);
    for (const QString& notice : z.takeNotices()) noticeAnswersOnDesktop(notice);
    // A claim file held back waits in the practice's folder: a scheduled send must not
    // pass for done.
    return failed_ || z.heldBack() > 0 ? 1 : 0;
}

}  // namespace zv
