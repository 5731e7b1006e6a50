// Every server operation of every task fails in turn: refused, connection cut before it,
// cut after it (the reply is lost), or stalled. Every row ends with the same checks: the
// user is told in words, no claim and no report is lost, the password shows nowhere, and
// a later run with the server well again puts everything right.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

enum class Task { Send, Resend, Delete, Reports };
enum class Fault { Refused, CutBefore, CutAfter, Stalled };
struct Row {
    Task task;
    const char* op;
    Fault fault;
    const char* head;  // first line of the first message; "" = none but the report question
};

// Per task: what is there before, the object the fault hits, the task, and the task again
// once the server is well (a claim whose upload failed waits for a resend).
struct TaskWords {
    const char *name, *before, *target, *first, *again;
};
// clang-format off
const TaskWords kTasks[] = {
    {"Send", "p:c1.clm=@100000|p:c2.clm=@250000|p:c3.clm=@3000", "claims/$0002.83P", "S", "S|ok|R|@$0002.83P"},
    {"Resend", "p:x.clm=@120000|S|-:~/claims/$0001.83P", "claims/$0001.83P", "ok|R|@$0001.83P", "ok|R|@$0001.83P"},
    {"Delete", "w:A.83P=a{1234}|w:B.83P=b|b:A.83P=a{1234}|b:B.83P=b", "claims/A.83P", "D|?A.83P", "D|?A.83P"},
    {"Reports", "r:R1.TXT=@80000|r:R2.TXT=@700000|r:R3.TXT=@10", "reports/R2.TXT", "G", "G"},
};
// clang-format on

class FaultMatrix : public ServerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(FaultMatrix, NothingIsLostAndALaterRunPutsItRight) {
    startStation();
    const Row& row = GetParam();
    const QString op = QLatin1String(row.op);
    const TaskWords& task = kTasks[int(row.task)];
    clicks(task.before);
    QString target = task.target;
    if (op == "opendir" || op == "readdir") target = target.section('/', 0, 0);
    dialogs.shown.clear();
    clicks(QStringList{"fail", "drop", "cut", "stall"}[int(row.fault)] + ":" + op + "=" + target);
    clicks(task.first);
    if (row.task == Task::Resend) dialogs.shown.erase(dialogs.shown.begin());  // the warning

    QStringList heads;
    for (const QString& text : dialogs.texts()) heads << text.section('\n', 0, 0);
    if (*row.head == 0) {
        EXPECT_TRUE(heads.isEmpty() || heads.first() == "Click OK to View Reports")
            << heads.join('|');
    } else {
        ASSERT_FALSE(heads.isEmpty()) << "nothing was shown";
        EXPECT_EQ(heads.first(), QLatin1String(row.head)) << allMessages();
        const QString detail = dialogs.texts().first().section('\n', 1).trimmed();
        EXPECT_FALSE(detail.isEmpty()) << "no reason in words";
        EXPECT_TRUE(row.fault != Fault::Stalled || detail.contains("did not answer")) << detail;
    }
    expectNoClaimLost(claims, row.task != Task::Resend);
    expectNoReportLost(reports);
    expectNoPassword();
    for (const auto& [control, enabled] : view.enabled) EXPECT_TRUE(enabled) << int(control);
    if (row.task == Task::Send) {
        // The run ends at the failure: the third claim waits untouched, the number stays.
        EXPECT_EQ(readBytes(practice() + "c3.clm"), claims[2]);
        EXPECT_EQ(seq(), "0001");
        if (row.fault == Fault::Refused) {
            EXPECT_FALSE(QFileInfo::exists(account.claimsDir() + claimName(2)));
            // A refused close still lets the run fetch the reports; the others end it.
            EXPECT_EQ(view.status.contains("Looking for Reports"), op == "close");
        }
    }
    // A failed upload keeps the picker for another try; a refused close ends the resend.
    EXPECT_TRUE(row.task != Task::Resend || view.pickerVisible == (op != "close"));
    // A refused removal keeps the picker for a second try.
    EXPECT_TRUE(row.fault != Fault::Refused || op != "remove" || row.task != Task::Delete ||
                view.pickerVisible);
    if (row.task == Task::Delete) {
        EXPECT_EQ(readBytes(account.claimsDir() + "B.83P"), "b");
        EXPECT_TRUE(row.fault == Fault::CutAfter ||
                    QFileInfo::exists(account.claimsDir() + "A.83P"));
    }
    // A failed download ends the run at once; a failed removal does not.
    if (row.task == Task::Reports && row.fault == Fault::Refused &&
        (op == "read" || op == "remove")) {
        EXPECT_EQ(QFileInfo::exists(reportFolder() + "R3.TXT"), op == "remove");
    }

    server.clearFaults();
    dialogs.shown.clear();
    clicks(task.again);

    EXPECT_EQ(filesIn(reportFolder()), reports);
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
    for (const QByteArray& claim : claims) {
        qsizetype copies = 0;
        for (const QByteArray& bytes : filesIn(account.claimsDir())) copies += bytes == claim;
        EXPECT_EQ(copies, 1) << "a claim is not on the server exactly once";
    }
    EXPECT_TRUE(row.task != Task::Delete ||
                filesIn(account.claimsDir()).keys() == QStringList{"B.83P"});
    EXPECT_TRUE(row.task >= Task::Delete || !view.pickerVisible) << "the picker stays";
    EXPECT_FALSE(allMessages().contains('\n')) << allMessages();
}

// Each operation of a task with the faults it is tried with (R refused, B cut before, A
// cut after, S stalled) and the first line of the first message it must give.
struct Group {
    Task task;
    const char *op, *faults, *head;
};
constexpr const char* kDownload = "Report Download Failure-Try Once More.";
constexpr const char* kRemove = "Error Deleting Report File from Server. Call ZOD.";
// clang-format off
const Group kGroups[] = {
    {Task::Send, "open", "RBAS", "Upload File not Found."},
    {Task::Send, "write", "RBAS", "File Upload Failure. Try once more."},
    {Task::Send, "close", "RBAS", "Upload File Close Error. Call ZOD."},
    {Task::Resend, "open", "RBAS", "Upload File not Found."},
    {Task::Resend, "write", "RBAS", "File Upload Failure. Try once more."},
    {Task::Resend, "close", "RBAS", "Upload File Close Error. Call ZOD."},
    {Task::Delete, "opendir", "RBAS", "Error Opening SFTP Claims Directory. Call ZOD."},
    {Task::Delete, "readdir", "RB", "No Claim Files Found to Delete."},
    {Task::Delete, "remove", "RBA", "Unable to Delete File."},
    {Task::Reports, "opendir", "RBA", "Error Opening SFTP Reports Directory. Call ZOD."},
    {Task::Reports, "readdir", "RB", "The list of reports on the server could not be read. Try once more."},
    {Task::Reports, "open", "RBA", kDownload},
    {Task::Reports, "stat", "RB", kDownload},
    {Task::Reports, "read", "RBAS", kDownload},
    {Task::Reports, "close", "R", ""},  // everything was read and checked by then
    {Task::Reports, "close", "BA", kRemove},
    {Task::Reports, "remove", "RBA", kRemove},
};
// clang-format on

std::vector<Row> rows() {
    std::vector<Row> out;
    for (const Group& g : kGroups)
        for (const char* f = g.faults; *f; ++f)
            out.push_back({g.task, g.op, Fault(QByteArray("RBAS").indexOf(*f)), g.head});
    return out;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    static const char* faults[] = {"Refused", "CutBefore", "CutAfter", "Stalled"};
    const Row& r = info.param;
    return std::string(kTasks[int(r.task)].name) + "_" + r.op + "_" + faults[int(r.fault)];
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(rows()), rowName);

}  // namespace
}  // namespace zv::test
