// Each server operation of each task fails in turn (refused, connection cut before it,
// connection cut after it so the reply is lost, or the server stalls). Each case checks
// what the user is told and that no claim and no report is lost, then that a later run
// with the server well again puts everything right.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

enum class Fault { Refused, DropBefore, DropAfter, Stall };

struct FaultCase {
    const char* op;
    Fault fault;
    const char* head;  // first line of the first message shown; "" = no message
};

std::string caseName(const ::testing::TestParamInfo<FaultCase>& info) {
    static const char* kinds[] = {"Refused", "DroppedBefore", "DroppedAfter", "Stalled"};
    return std::string(info.param.op) + "_" + kinds[static_cast<int>(info.param.fault)];
}

class FaultFixture : public StationTest {
protected:
    void arm(const FaultCase& c, const QString& glob) {
        if (c.fault == Fault::Refused) {
            server.failOn(QLatin1String(c.op), glob);
        } else if (c.fault == Fault::Stall) {
            // The idle time-out, not the server, must end the wait.
            st.z().Client().IdleTimeoutMs(3000);
            server.delayOn(QLatin1String(c.op), glob, 120);
        } else {
            server.dropOn(QLatin1String(c.op), glob, c.fault == Fault::DropAfter);
        }
    }
    void expectFirstMessage(const FaultCase& c) {
        const char* head = c.head;
        const QStringList heads = st.messageHeads();
        if (*head == 0) {
            EXPECT_TRUE(heads.isEmpty() ||
                        heads.first() == QLatin1String("Click OK to View Reports"))
                << st.allMessages().toStdString();
            return;
        }
        ASSERT_FALSE(heads.isEmpty()) << "nothing was shown";
        EXPECT_EQ(heads.first(), QLatin1String(head)) << st.allMessages().toStdString();
        // The second line says what went wrong, in words.
        EXPECT_FALSE(st.dialogs.texts().first().section(QLatin1Char('\n'), 1).trimmed().isEmpty())
            << st.allMessages().toStdString();
        if (c.fault == Fault::Stall) {
            EXPECT_TRUE(st.dialogs.texts().first().contains(QLatin1String("did not answer")))
                << st.allMessages().toStdString();
        }
    }
};

// ---- a send of three claims, the fault hitting the second ----

class SendFault : public FaultFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SendFault, NoClaimIsLostAndALaterRunAndAResendFinishTheJob) {
    const QList<QByteArray> claims{patterned(100'000, 11), patterned(250'000, 12),
                                   patterned(3000, 13)};
    for (int i = 0; i < claims.size(); ++i)
        st.putClaim(QStringLiteral("c%1.clm").arg(i + 1), claims[i]);
    const QString second = st.claimName(2);
    arm(GetParam(), QStringLiteral("claims/") + second);
    st.m.PickerCallback = true;

    st.z().SendClaims_Click();

    expectFirstMessage(GetParam());
    expectNoClaimLost(st, account, claims);
    EXPECT_EQ(st.seq(), "0001") << "only the first upload completed";
    EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(1)), claims[0]);
    EXPECT_EQ(readBytes(st.backupDir() + second), claims[1]);
    EXPECT_EQ(readBytes(st.workingDir() + second), claims[1]);
    EXPECT_EQ(readBytes(st.practice() + "c3.clm"), claims[2])
        << "the third claim must wait untouched";
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
    const QByteArray op(GetParam().op);
    if (GetParam().fault == Fault::Refused) {
        EXPECT_FALSE(QFileInfo::exists(account.claimsDir() + second))
            << "a refused upload left a partial claim on the server";
        const char* logged = op == "open"    ? " Upload File not Found"
                             : op == "write" ? " Upload Failure"
                                             : " Upload File Close Error";
        EXPECT_TRUE(st.logActivities().contains(second + QLatin1String(logged)))
            << st.logActivities().join('|').toStdString();
        // A refused close still lets the run fetch the reports; the others end it.
        EXPECT_EQ(st.view.status.contains("Looking for Reports"), op == "close");
        if (op == "write") {
            EXPECT_FALSE(st.m.PickerCallback);
        }
    }

    // The server is well again: the next run sends the third claim under a fresh number,
    // and the second goes by a resend under its own.
    server.clearFaults();
    st.dialogs.clear();
    st.z().SendClaims_Click();
    EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(3)), claims[2]);
    EXPECT_EQ(st.seq(), "0003");
    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    st.pick(second);
    EXPECT_EQ(readBytes(account.claimsDir() + second), claims[1]);
    EXPECT_EQ(st.messageHeads(),
              QStringList{"WARNING! Please check with ZOD before resending a file."});
    expectNoClaimLost(st, account, claims);
    for (const QByteArray& claim : claims) {
        qsizetype copies = 0;
        for (const QByteArray& bytes : filesIn(account.claimsDir())) copies += bytes == claim;
        EXPECT_EQ(copies, 1);
    }
}

constexpr const char* kNotFound = "Upload File not Found.";
constexpr const char* kUpload = "File Upload Failure. Try once more.";
constexpr const char* kClose = "Upload File Close Error. Call ZOD.";
const FaultCase kUploadCases[] = {
    {"open", Fault::Refused, kNotFound},   {"open", Fault::DropBefore, kNotFound},
    {"open", Fault::DropAfter, kNotFound}, {"write", Fault::Refused, kUpload},
    {"write", Fault::DropBefore, kUpload}, {"write", Fault::DropAfter, kUpload},
    {"close", Fault::Refused, kClose},     {"close", Fault::DropBefore, kClose},
    {"close", Fault::DropAfter, kClose},   {"open", Fault::Stall, kNotFound},
    {"write", Fault::Stall, kUpload},      {"close", Fault::Stall, kClose}};

INSTANTIATE_TEST_SUITE_P(Matrix, SendFault, ::testing::ValuesIn(kUploadCases), caseName);

TEST_F(FaultFixture, AServerThatKeepsOnlyPartOfAClaimIsASendFailure) {
    const QByteArray claim = patterned(200'000, 14);
    st.putClaim("x.clm", claim);
    server.shortWriteOn();

    st.z().SendClaims_Click();

    expectFirstMessage({"write", Fault::Refused, kUpload});
    EXPECT_EQ(st.seq(), "") << "a number was recorded for a claim the server does not hold";
    EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty()) << "the partial claim was left there";
    EXPECT_FALSE(st.view.status.contains(" 1 Claim Files Sent"));
    EXPECT_EQ(readBytes(st.workingDir() + st.claimName(1)), claim);
    expectNoClaimLost(st, account, {claim});
}

// ---- a resend ----

class ResendFault : public FaultFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ResendFault, TheBackupStaysAndTheNextTryWorks) {
    const QByteArray claim = patterned(120'000, 21);
    st.putClaim("x.clm", claim);
    st.z().SendClaims_Click();
    const QString name = st.claimName(1);
    QFile::remove(account.claimsDir() + name);
    arm(GetParam(), QStringLiteral("claims/") + name);
    st.dialogs.clear();
    st.dialogs.answers = {true};

    st.z().ResendClaims_Click();
    st.pick(name);

    st.dialogs.shown.erase(st.dialogs.shown.begin());  // the warning
    expectFirstMessage(GetParam());
    EXPECT_EQ(readBytes(st.backupDir() + name), claim);
    EXPECT_EQ(st.seq(), "0001");
    EXPECT_TRUE(st.view.isEnabled(Control::ResendClaims));
    // A failed upload keeps the picker for another try; a refused close ends the resend.
    EXPECT_EQ(st.view.pickerVisible, QByteArray(GetParam().op) != "close");

    server.clearFaults();
    st.dialogs.clear();
    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    st.pick(name);
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_FALSE(st.m.PickerMode.ResendMode);
    EXPECT_EQ(readBytes(account.claimsDir() + name), claim);
    EXPECT_EQ(st.dialogs.shown.size(), 1u) << st.allMessages().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Matrix, ResendFault, ::testing::ValuesIn(kUploadCases), caseName);

// ---- deleting a waiting claim ----

class DeleteFault : public FaultFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DeleteFault, TheUserIsToldAndOnlyTheChosenFileCanGo) {
    const QByteArray a(1234, 'a'), b(55, 'b');
    writeBytes(account.claimsDir() + "A.83P", a);
    writeBytes(account.claimsDir() + "B.83P", b);
    const bool atRemove = QByteArray(GetParam().op) == "remove";
    arm(GetParam(), atRemove ? "claims/A.83P" : "claims");

    st.z().DeleteClaimFiles_Click();
    if (atRemove) {
        ASSERT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
        st.pick("A.83P");
    }

    expectFirstMessage(GetParam());
    EXPECT_EQ(readBytes(account.claimsDir() + "B.83P"), b);
    if (GetParam().fault != Fault::DropAfter) {
        EXPECT_EQ(readBytes(account.claimsDir() + "A.83P"), a);
    }
    EXPECT_FALSE(st.view.status.contains("File A.83P Deleted."));
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, DeleteFault,
    ::testing::Values(
        FaultCase{"opendir", Fault::Refused, "Error Opening SFTP Claims Directory. Call ZOD."},
        FaultCase{"opendir", Fault::DropBefore, "Error Opening SFTP Claims Directory. Call ZOD."},
        FaultCase{"opendir", Fault::DropAfter, "Error Opening SFTP Claims Directory. Call ZOD."},
        FaultCase{"opendir", Fault::Stall, "Error Opening SFTP Claims Directory. Call ZOD."},
        FaultCase{"readdir", Fault::Refused, "No Claim Files Found to Delete."},
        FaultCase{"readdir", Fault::DropBefore, "No Claim Files Found to Delete."},
        FaultCase{"remove", Fault::Refused, "Unable to Delete File."},
        FaultCase{"remove", Fault::DropBefore, "Unable to Delete File."},
        FaultCase{"remove", Fault::DropAfter, "Unable to Delete File."}),
    caseName);

// ---- fetching reports, the fault hitting the second of three ----

class ReportFault : public FaultFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ReportFault, NoReportLeavesTheServerBeforeItIsWholeOnDisk) {
    const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(80'000, 31)},
                                            {"R2.TXT", patterned(700'000, 32)},
                                            {"R3.TXT", patterned(10, 33)}};
    for (auto it = reports.cbegin(); it != reports.cend(); ++it)
        writeBytes(account.reportsDir() + it.key(), it.value());
    const QByteArray op(GetParam().op);
    arm(GetParam(), op == "opendir" || op == "readdir" ? "reports" : "reports/R2.TXT");

    st.z().GetReports_Click();

    expectFirstMessage(GetParam());
    expectNoReportLost(st, account, reports);
    if (GetParam().fault == Fault::Refused && (op == "read" || op == "remove")) {
        // A failed download ends the run at once; a failed removal does not.
        EXPECT_EQ(QFileInfo::exists(st.reportFolder() + "R3.TXT"), op == "remove");
    }
    EXPECT_TRUE(st.view.isEnabled(Control::GetReports));

    server.clearFaults();
    st.dialogs.clear();
    st.z().GetReports_Click();
    EXPECT_EQ(filesIn(st.reportFolder()), reports);
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
}

constexpr const char* kDownload = "Report Download Failure-Try Once More.";
constexpr const char* kRemove = "Error Deleting Report File from Server. Call ZOD.";
constexpr const char* kOpenDir = "Error Opening SFTP Reports Directory. Call ZOD.";
constexpr const char* kList = "The list of reports on the server could not be read. Try once more.";

INSTANTIATE_TEST_SUITE_P(Matrix, ReportFault,
                         ::testing::Values(FaultCase{"opendir", Fault::Refused, kOpenDir},
                                           FaultCase{"opendir", Fault::DropBefore, kOpenDir},
                                           FaultCase{"opendir", Fault::DropAfter, kOpenDir},
                                           FaultCase{"readdir", Fault::Refused, kList},
                                           FaultCase{"readdir", Fault::DropBefore, kList},
                                           FaultCase{"open", Fault::Refused, kDownload},
                                           FaultCase{"open", Fault::DropBefore, kDownload},
                                           FaultCase{"open", Fault::DropAfter, kDownload},
                                           FaultCase{"stat", Fault::Refused, kDownload},
                                           FaultCase{"stat", Fault::DropBefore, kDownload},
                                           FaultCase{"read", Fault::Refused, kDownload},
                                           FaultCase{"read", Fault::DropBefore, kDownload},
                                           FaultCase{"read", Fault::DropAfter, kDownload},
                                           FaultCase{"read", Fault::Stall, kDownload},
                                           // Everything was read and checked by then.
                                           FaultCase{"close", Fault::Refused, ""},
                                           FaultCase{"close", Fault::DropBefore, kRemove},
                                           FaultCase{"close", Fault::DropAfter, kRemove},
                                           FaultCase{"remove", Fault::Refused, kRemove},
                                           FaultCase{"remove", Fault::DropBefore, kRemove},
                                           FaultCase{"remove", Fault::DropAfter, kRemove}),
                         caseName);

}  // namespace
}  // namespace zv::test
