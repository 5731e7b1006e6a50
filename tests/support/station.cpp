#include "support/station.h"

#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "claims/numbering.h"

namespace zv::test {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

QByteArray patterned(qsizetype size, quint32 seed) {
    // A header no other seed produces, then segment-like lines, then random bytes, so
    // a claim is found again by its whole content even inside a joined file.
    QByteArray bytes = QByteArray("ISA*CLAIM-") + QByteArray::number(seed) + "-~";
    QRandomGenerator gen(seed);
    while (bytes.size() < size) {
        bytes += "NM1*85*2*PRACTICE " + QByteArray::number(gen.generate() % 100000) + "~\n";
        if (bytes.size() % 7 == 0) bytes += char(gen.generate() & 0xff);
    }
    return bytes.left(size);
}

QMap<QString, QByteArray> filesIn(const QString& folder) {
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        out.insert(name, readBytes(dir.filePath(name)));
    return out;
}

Station::Station() : dir_("/tmp/zvi-XXXXXX") {
    // Short paths: a folder value in setup.prm holds at most 42 characters.
    for (const QString& sub : {practice(), reportFolder(), workRoot()}) QDir().mkpath(sub);
}

Station::~Station() {
    z_.reset();
    // A test that failed half-way may leave read-only or immutable bits: clear them so
    // the temporary folder can go.
    QProcess::execute("chattr", {"-R", "-i", dir_.path()});
}

void Station::writeSetup(const ServerAccount& server, const QString& fileType,
                         const QString& userFile) {
    server_ = server;
    fileType_ = fileType;
    const QByteArray bytes = setupLine("UserPath", practice()) + setupLine("UserFile", userFile) +
                             setupLine("FileType", fileType) + setupLine("SoftType", "TEST") +
                             setupLine("SiteID  ", server.user) +
                             setupLine("PassWord", server.password) +
                             setupLine("RptPath ", reportFolder());
    writeBytes(workRoot() + "setup.prm", bytes);
}

StartState Station::start(const ServerAccount& server) {
    server_ = server;
    z_ = std::make_unique<Zuduvor>(m, view, view, dialogs, launcher);
    StartOptions options;
    options.workRoot = workRoot();
    options.sftpHost = server.host;
    options.sftpPort = server.port;
    return z_->Form_Load(options);
}

QString Station::claimName(int number) const {
    return makeClaimName(server_.user, number, fileType_);
}

void Station::putClaim(const QString& name, const QByteArray& bytes) {
    writeBytes(practice() + name, bytes);
}

void Station::putBackup(const QString& name, const QByteArray& bytes) {
    QFile f(backupDir() + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.flush();  // a write at close would stamp the file anew
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)),
                              QFileDevice::FileModificationTime));
}

void Station::pick(const QString& name) {
    for (const PickerLine& line : view.pickerLines)
        if (line.name == name) return z().Form5_List1_Click(line);
    ADD_FAILURE() << name.toStdString() << " is not in the picker";
}

::testing::AssertionResult Station::failureShown(const QString& head) const {
    for (const QString& text : dialogs.texts())
        if (text.startsWith(head + QLatin1Char('\n')) && text.size() > head.size() + 1)
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "no \"" << head.toStdString() << "\" + detail among: " << allMessages().toStdString();
}

QStringList Station::logActivities() const {
    static const QRegularExpression stamp(" on \\d\\d-\\d\\d-\\d{4} at \\d\\d:\\d\\d:\\d\\d$");
    QStringList out;
    const QString text = QString::fromLatin1(readBytes(workRoot() + "ZUDUVOR.LOG"));
    for (QString line : text.split("\r\n", Qt::SkipEmptyParts)) {
        const auto match = stamp.match(line);
        out << (match.hasMatch() ? line.left(match.capturedStart()) : line + "<no stamp>");
    }
    return out;
}

QStringList Station::messageHeads() const {
    QStringList out;
    for (const QString& text : dialogs.texts()) out << text.section(QLatin1Char('\n'), 0, 0);
    return out;
}

std::unique_ptr<QProcess> Station::startConsole(const QStringList& command,
                                                const QStringList& extraEnv) const {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys())
        if (key.startsWith(QLatin1String("ZUDUVOR_"))) env.remove(key);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QString& pair : extraEnv)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process->setProcessEnvironment(env);
    process->start(consoleProgram,
                   QStringList{"--work-root", workRoot(), "--sftp-host", server_.host,
                               "--sftp-port", QString::number(server_.port)} +
                       command);
    return process;
}

ConsoleRun Station::runConsole(const QStringList& command, const QStringList& extraEnv,
                               int timeoutMs) const {
    auto process = startConsole(command, extraEnv);
    ConsoleRun run;
    if (!process->waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "the program did not end within " << timeoutMs << " ms";
        process->kill();
        process->waitForFinished(5000);
    }
    run.crashed = process->exitStatus() == QProcess::CrashExit;
    run.exitCode = process->exitCode();
    run.out = QString::fromUtf8(process->readAllStandardOutput());
    run.err = QString::fromUtf8(process->readAllStandardError());
    return run;
}

void expectNoClaimLost(const Station& st, const ServerAccount& server,
                       const QList<QByteArray>& claims, bool seqMustBeOnServer) {
    const auto practice = filesIn(st.practice());
    const auto backups = filesIn(st.backupDir());
    const auto working = filesIn(st.workingDir());
    const auto onServer = filesIn(server.claimsDir());

    // A working copy waiting for a resend is the same as its backup.
    for (auto it = working.cbegin(); it != working.cend(); ++it)
        EXPECT_EQ(backups.value(it.key()), it.value())
            << "working copy " << it.key().toStdString() << " differs from its backup";

    for (auto it = onServer.cbegin(); it != onServer.cend(); ++it) {
        const QString& name = it.key();
        EXPECT_TRUE(backups.contains(name))
            << "on the server without a backup: " << name.toStdString();
        if (backups.value(name) == it.value()) continue;
        // A partial server copy is tolerable only while the whole claim waits here.
        EXPECT_EQ(working.value(name), backups.value(name))
            << "the server's " << name.toStdString() << " (" << it.value().size()
            << " bytes) is not its backup (" << backups.value(name).size()
            << " bytes) and no whole copy waits for a resend";
    }

    for (int i = 0; i < claims.size(); ++i) {
        const QByteArray& claim = claims[i];
        qsizetype sent = 0;
        for (const QByteArray& bytes : onServer)
            if (bytes.size() >= claim.size()) sent += bytes.count(claim);
        EXPECT_LE(sent, 1) << "claim " << i << " is on the server " << sent << " times";
        if (sent >= 1) continue;
        bool waiting = false;
        for (auto it = working.cbegin(); it != working.cend(); ++it)
            waiting =
                waiting || (it.value().contains(claim) && backups.value(it.key()) == it.value());
        bool untouched = false;
        for (const QByteArray& bytes : practice) untouched = untouched || bytes.contains(claim);
        EXPECT_TRUE(waiting || untouched)
            << "claim " << i << " (" << claim.size()
            << " bytes) is lost: not on the server, not waiting for a resend, not in the "
               "practice folder";
    }

    const int number = parseSequenceRecord(readBytes(st.seqFile()));
    if (number > 0 && seqMustBeOnServer) {
        const QString name = st.claimName(number);
        EXPECT_TRUE(onServer.contains(name) && onServer.value(name) == backups.value(name))
            << "seqfile.fil names " << name.toStdString() << ", whose upload did not complete";
    }
}

void expectNoReportLost(const Station& st, const ServerAccount& server,
                        const QMap<QString, QByteArray>& reports) {
    const auto local = filesIn(st.reportFolder());
    const auto remote = filesIn(server.reportsDir());
    for (auto it = reports.cbegin(); it != reports.cend(); ++it) {
        const bool here = local.value(it.key()) == it.value();
        const bool there = remote.value(it.key()) == it.value();
        EXPECT_TRUE(here || there) << "report " << it.key().toStdString() << " is lost";
        if (local.contains(it.key())) {
            EXPECT_TRUE(here) << "report " << it.key().toStdString() << " is not whole on disk";
        }
    }
    for (auto it = local.cbegin(); it != local.cend(); ++it)
        EXPECT_TRUE(reports.contains(it.key()))
            << "left in the report folder: " << it.key().toStdString();
}

std::string serverKindName(const ::testing::TestParamInfo<ServerKind>& info) {
    return info.param == ServerKind::OpenSsh ? "OpenSshSshd" : "AsyncsshServer";
}

void ServerTest::SetUp() {
    ZV_START_TEST_SERVER(server);
    account = accountOf(server);
}

void ServerTest::startStation(const QString& fileType, const QString& mask) {
    st.writeSetup(account, fileType, mask);
    ASSERT_EQ(st.start(account), StartState::Complete) << st.allMessages().toStdString();
}

void StationTest::SetUp() {
    ServerTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure()) startStation();
}

ScopedMount::~ScopedMount() {
    for (auto it = mounted_.crbegin(); it != mounted_.crend(); ++it)
        ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
}

QString ScopedMount::tmpfs(const QString& folder, const QString& size) {
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    const QByteArray options = "size=" + size.toLatin1();
    if (::mount("tmpfs", path.constData(), "tmpfs", 0, options.constData()) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    mounted_ << folder;
    return {};
}

QString ScopedMount::readOnly(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    mounted_ << folder;
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    return {};
}

}  // namespace zv::test
