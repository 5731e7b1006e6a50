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
constexpr Fault R = Fault::Refused, B = Fault::CutBefore, A = Fault::CutAfter, S = Fault::Stalled;
struct Row {
    Task task;
    const char* op;
    Fault fault;
    const char* head;  // first line of the first message; "" = none but the report question
};

// Per task: what is there before, the object the fault hits, the task, and the task again
// once the server is well (a claim whose upload failed waits for a resend).
struct TaskWords {
    const char *before, *target, *first, *again;
};
// clang-format off
const TaskWords kTasks[] = {
    {"p:c1.clm=@100000|p:c2.clm=@250000|p:c3.clm=@3000", "claims/$0002.83P", "S", "S|ok|R|@$0002.83P"},
    {"p:x.clm=@120000|S|-w:$0001.83P", "claims/$0001.83P", "ok|R|@$0001.83P", "ok|R|@$0001.83P"},
    {"w:A.83P=a{1234}|w:B.83P=b|b:A.83P=a{1234}|b:B.83P=b", "claims/A.83P", "D|?A.83P", "D|?A.83P"},
    {"r:R1.TXT=@80000|r:R2.TXT=@700000|r:R3.TXT=@10", "reports/R2.TXT", "G", "G"},
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

    const QStringList heads = messageHeads();
    if (*row.head == 0) {
        EXPECT_TRUE(heads.isEmpty() || heads.first() == "Click OK to View Reports") << heads;
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
    EXPECT_TRUE(row.fault != R || op != "remove" || row.task != Task::Delete || view.pickerVisible);
    if (row.task == Task::Delete) {
        EXPECT_EQ(readBytes(account.claimsDir() + "B.83P"), "b");
        EXPECT_TRUE(row.fault == Fault::CutAfter ||
                    QFileInfo::exists(account.claimsDir() + "A.83P"));
    }
    // A failed download ends the run at once; a failed removal does not.
    if (row.task == Task::Reports && row.fault == Fault::Refused && op != "close") {
        EXPECT_TRUE((op != "read" && op != "remove") ||
                    QFileInfo::exists(reportFolder() + "R3.TXT") == (op == "remove"));
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
    EXPECT_TRUE(row.task != Task::Delete || namesIn(account.claimsDir()) == QStringList{"B.83P"});
    EXPECT_TRUE(row.task >= Task::Delete || !view.pickerVisible) << "the picker stays";
    EXPECT_FALSE(allMessages().contains('\n')) << allMessages();
}

constexpr const char* kNotFound = "Upload File not Found.";
constexpr const char* kUpload = "File Upload Failure. Try once more.";
constexpr const char* kClose = "Upload File Close Error. Call ZOD.";
constexpr const char* kClaimsDir = "Error Opening SFTP Claims Directory. Call ZOD.";
constexpr const char* kNoClaims = "No Claim Files Found to Delete.";
constexpr const char* kDelete = "Unable to Delete File.";
constexpr const char* kReportsDir = "Error Opening SFTP Reports Directory. Call ZOD.";
constexpr const char* kList = "The list of reports on the server could not be read. Try once more.";
constexpr const char* kDownload = "Report Download Failure-Try Once More.";
constexpr const char* kRemove = "Error Deleting Report File from Server. Call ZOD.";

std::vector<Row> rows() {
    std::vector<Row> out;
    for (Task t : {Task::Send, Task::Resend})
        for (Fault f : {R, B, A, S})
            for (auto [op, head] :
                 {std::pair{"open", kNotFound}, {"write", kUpload}, {"close", kClose}})
                out.push_back({t, op, f, head});
    // clang-format off
    const Row more[] = {
        {Task::Delete, "opendir", R, kClaimsDir}, {Task::Delete, "opendir", B, kClaimsDir}, {Task::Delete, "opendir", A, kClaimsDir},
        {Task::Delete, "opendir", S, kClaimsDir}, {Task::Delete, "readdir", R, kNoClaims}, {Task::Delete, "readdir", B, kNoClaims},
        {Task::Delete, "remove", R, kDelete}, {Task::Delete, "remove", B, kDelete}, {Task::Delete, "remove", A, kDelete},
        {Task::Reports, "opendir", R, kReportsDir}, {Task::Reports, "opendir", B, kReportsDir}, {Task::Reports, "opendir", A, kReportsDir},
        {Task::Reports, "readdir", R, kList}, {Task::Reports, "readdir", B, kList},
        {Task::Reports, "open", R, kDownload}, {Task::Reports, "open", B, kDownload}, {Task::Reports, "open", A, kDownload},
        {Task::Reports, "stat", R, kDownload}, {Task::Reports, "stat", B, kDownload},
        {Task::Reports, "read", R, kDownload}, {Task::Reports, "read", B, kDownload}, {Task::Reports, "read", A, kDownload}, {Task::Reports, "read", S, kDownload},
        {Task::Reports, "close", R, ""},  // everything was read and checked by then
        {Task::Reports, "close", B, kRemove}, {Task::Reports, "close", A, kRemove},
        {Task::Reports, "remove", R, kRemove}, {Task::Reports, "remove", B, kRemove}, {Task::Reports, "remove", A, kRemove}};
    // clang-format on
    out.insert(out.end(), std::begin(more), std::end(more));
    return out;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    static const char* tasks[] = {"Send", "Resend", "Delete", "Reports"};
    static const char* faults[] = {"Refused", "CutBefore", "CutAfter", "Stalled"};
    const Row& r = info.param;
    return std::string(tasks[int(r.task)]) + "_" + r.op + "_" + faults[int(r.fault)];
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(rows()), rowName);

}  // namespace
}  // namespace zv::test
