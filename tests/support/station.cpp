#include "support/station.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "claims/numbering.h"

namespace zv::test {

// Short paths: a folder value in setup.prm holds at most 42 characters.
ServerTest::ServerTest() : dir_("/tmp/zvi-XXXXXX") {
    for (const QString& sub : {practice(), reportFolder(), workRoot()}) QDir().mkpath(sub);
}

ServerTest::~ServerTest() {
    z_.reset();
    processes_.clear();  // each killed
    for (auto it = undo_.crbegin(); it != undo_.crend(); ++it) (*it)();
    QProcess::execute("chattr", {"-R", "-i", dir_.path()});  // left by a failed test
    QProcess::execute("rm", {"-rf", dir_.path()});           // names that are not UTF-8 too
}

void ServerTest::SetUp() {
    if (kind() == ServerKind::OpenSsh) {
        ZV_START_TEST_SERVER(sshd);
        account = sshd.account();
    } else {
        ZV_START_TEST_SERVER(server);
        account = server.account();
    }
}

void ServerTest::TearDown() {
    if (IsSkipped()) return;
    for (const QString& text : dialogs.texts())
        EXPECT_TRUE(text.size() < 600 &&
                    (!text.contains('\n') || text.section('\n', 1).size() > 10))
            << text;
    for (const auto& [control, enabled] : view.enabled)
        EXPECT_TRUE(enabled) << "button " << int(control) << " stays disabled";
    expectNoPassword();
}

QByteArray ServerTest::setupBytes(const QString& fileType, const QString& mask) const {
    // Each line: the 8-character key and the value, padded to 50, then CR LF.
    const char* keys[] = {"UserPath", "UserFile", "FileType", "SoftType",
                          "SiteID  ", "PassWord", "RptPath "};
    const QString values[] = {claimFolderInSetup.isEmpty() ? practice() : path(claimFolderInSetup),
                              mask,
                              fileType,
                              "TEST",
                              account.user,
                              account.password,
                              reportFolder()};
    QByteArray out;
    for (int i = 0; i < 7; ++i)
        out += (keys[i] + values[i].toUtf8()).leftJustified(50, ' ', true) + "\r\n";
    return out;
}

void ServerTest::writeSetup(const QString& fileType, const QString& mask) {
    fileType_ = fileType;
    writeBytes(workRoot() + "setup.prm", setupBytes(fileType, mask));
}

StartState ServerTest::start() {
    z_ = std::make_unique<Zuduvor>(m, view, view, dialogs, launcher);
    return z_->Form_Load({workRoot(), account.host, account.port, {}, {}});
}

void ServerTest::startStation(const QString& fileType, const QString& mask) {
    writeSetup(fileType, mask);
    ASSERT_EQ(start(), StartState::Complete) << allMessages();
}

QString ServerTest::claimName(int n) const { return makeClaimName(account.user, n, fileType_); }

std::unique_ptr<QProcess> ServerTest::startConsole(const QStringList& command) const {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys())
        if (key.startsWith(QLatin1String("ZUDUVOR_"))) env.remove(key);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process->setProcessEnvironment(env);
    process->start(consoleProgram,
                   QStringList{"--work-root", workRoot(), "--sftp-host", account.host,
                               "--sftp-port", QString::number(account.port)} +
                       command);
    return process;
}

ConsoleRun ServerTest::runConsole(const QStringList& command) const {
    auto process = startConsole(command);
    if (!process->waitForFinished(120000)) {  // only a hang takes this long
        ADD_FAILURE() << "the program did not end";
        process->kill();
        process->waitForFinished(5000);
    }
    return {process->exitCode(), process->exitStatus() == QProcess::CrashExit,
            QString::fromUtf8(process->readAllStandardOutput()),
            QString::fromUtf8(process->readAllStandardError())};
}

void ServerTest::expectNoClaimLost(const QList<QByteArray>& claims, bool seqMustBeOnServer) const {
    const auto inPractice = filesIn(practice()), backups = filesIn(backupDir());
    const auto working = filesIn(workingDir());
    auto onServer = filesIn(account.claimsDir());  // less uploads not yet named, others' files
    onServer.removeIf([&](auto it) {
        return it.key().startsWith('.') || kept_.contains(account.claimsDir() + it.key());
    });
    for (auto it = onServer.cbegin(); it != onServer.cend(); ++it) {
        // A partial server copy is tolerable only while the whole claim waits here.
        EXPECT_TRUE(backups.contains(it.key()) &&
                    (backups.value(it.key()) == it.value() ||
                     working.value(it.key()) == backups.value(it.key())))
            << "the server's " << it.key().toStdString() << " has no whole copy here";
    }
    for (int i = 0; i < claims.size(); ++i) {
        qsizetype sent = 0;
        for (const QByteArray& bytes : onServer) sent += bytes.count(claims[i]);
        EXPECT_LE(sent, 1) << "claim " << i << " is on the server " << sent << " times";
        bool kept = sent == 1;
        for (auto it = working.cbegin(); it != working.cend(); ++it)
            kept =
                kept || (it.value().contains(claims[i]) && backups.value(it.key()) == it.value());
        for (const QByteArray& bytes : inPractice) kept = kept || bytes.contains(claims[i]);
        EXPECT_TRUE(kept) << "claim " << i << " (" << claims[i].size() << " bytes) is lost";
    }
    const int number = parseSequenceRecord(seq());
    if (number > 0 && seqMustBeOnServer) {
        const QString name = claimName(number);
        EXPECT_TRUE(onServer.contains(name) && onServer.value(name) == backups.value(name))
            << "seqfile.fil names " << name.toStdString() << ", whose upload did not complete";
    }
}

void ServerTest::expectNoReportLost(const QMap<QString, QByteArray>& reports) const {
    // A report may be kept beside a different file of its own name: its bytes decide.
    const auto local = filesIn(reportFolder()), remote = filesIn(account.reportsDir());
    for (auto it = reports.cbegin(); it != reports.cend(); ++it)
        EXPECT_TRUE(local.values().contains(*it) || remote.value(it.key()) == *it)
            << "report " << it.key().toStdString() << " is lost";
    for (auto it = local.cbegin(); it != local.cend(); ++it)
        EXPECT_TRUE(reports.values().contains(*it) || kept_.contains(reportFolder() + it.key()))
            << "left in the report folder, or not whole: " << it.key().toStdString();
}

void ServerTest::expectNoPassword(const QString& extra) const {
    const QString seen =
        allMessages() + view.status.join('\n') + readBytes(workRoot() + "ZUDUVOR.LOG") + extra;
    EXPECT_FALSE(seen.contains(account.password, Qt::CaseInsensitive)) << "the password shows in:\n"
                                                                       << seen.toStdString();
}

QString ServerTest::expand(QString text) const {
    text.replace('$', account.user.toUpper());
    static const QRegularExpression repeat(QStringLiteral("(.)\\{(\\d+)\\}"));
    for (auto m = repeat.match(text); m.hasMatch(); m = repeat.match(text))
        text.replace(m.capturedStart(), m.capturedLength(),
                     QString(m.captured(2).toInt(), m.captured(1).at(0)));
    return text;
}

QString ServerTest::path(const QString& p) const {
    const QString e = expand(p);
    return e.startsWith("~/") ? account.home + e.mid(1) : e.startsWith('/') ? e : base() + e;
}

void ServerTest::keep(const QString& path) {
    kept_[path] = {readBytes(path), QFileInfo(path).lastModified()};
}

QProcess& ServerTest::process() { return *processes_.emplace_back(std::make_unique<QProcess>()); }

void ServerTest::play(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        step(*this);
        if (IsSkipped() || HasFatalFailure()) return;
    }
}

namespace {
QString listed(const QMap<QString, QByteArray>& files, bool withBytes) {
    QStringList out;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        out << (withBytes ? it.key() + '=' + QString::fromUtf8(*it) : it.key());
    return out.join('|');
}
}  // namespace

void ServerTest::run(const Scenario& s) {
    const auto stopped = [this] { return IsSkipped() || HasFatalFailure(); };
    play(s.before);
    if (!stopped()) startStation(s.type, s.mask);
    if (!stopped()) play(s.steps);
    if (stopped()) return;
    EXPECT_TRUE(!s.told || (!dialogs.shown.empty() && allMessages().contains(s.told)))
        << "not told " << s.told;
    for (const QString& text : dialogs.texts())
        EXPECT_TRUE(s.told || !text.contains('\n')) << "a failure was shown: " << text;
    const QString waiting = expand(s.server), home = expand(s.reports);
    EXPECT_EQ(listed(filesIn(account.claimsDir()), waiting.contains('=')), waiting);
    EXPECT_EQ(listed(filesIn(reportFolder()), home.contains('=')), home);
    EXPECT_TRUE(!s.seq || seq() == s.seq) << seq().toHex().toStdString();
    EXPECT_TRUE(!s.text || readBytes(workRoot() + "claim.txt") == s.text);
    EXPECT_EQ(launcher.opened.join('|').remove(base()), s.opened);
    for (auto it = kept_.cbegin(); it != kept_.cend(); ++it) {
        EXPECT_EQ(readBytes(it.key()), it->first) << it.key() << " changed";
        EXPECT_EQ(QFileInfo(it.key()).lastModified(), it->second) << it.key() << " touched";
    }
    if (!claims.isEmpty()) expectNoClaimLost(claims, !seqGiven);
    expectNoReportLost(reports);
    EXPECT_FALSE(allMessages().contains("another ZUDUVOR program"));
}

}  // namespace zv::test
