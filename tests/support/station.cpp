#include "support/station.h"

#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include "claims/numbering.h"

namespace zv::test {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        << path.toStdString();
}

QByteArray patterned(qsizetype size, quint32 seed) {
    // A header no other seed has, then segment-like lines and stray bytes, so a claim is
    // found again by its whole content even inside a joined file.
    QByteArray bytes = "ISA*CLAIM-" + QByteArray::number(seed) + "-~";
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

// Short paths: a folder value in setup.prm holds at most 42 characters.
Station::Station() : dir_("/tmp/zvi-XXXXXX") {
    for (const QString& sub : {practice(), reportFolder(), workRoot()}) QDir().mkpath(sub);
}

Station::~Station() {
    z_.reset();
    QProcess::execute("chattr", {"-R", "-i", dir_.path()});  // left by a failed test
}

void Station::writeSetup(const ServerAccount& server, const QString& fileType,
                         const QString& userFile) {
    server_ = server;
    fileType_ = fileType;
    writeBytes(workRoot() + "setup.prm",
               setupLine("UserPath", practice()) + setupLine("UserFile", userFile) +
                   setupLine("FileType", fileType) + setupLine("SoftType", "TEST") +
                   setupLine("SiteID  ", server.user) + setupLine("PassWord", server.password) +
                   setupLine("RptPath ", reportFolder()));
}

StartState Station::start(const ServerAccount& server) {
    server_ = server;
    z_ = std::make_unique<Zuduvor>(m, view, view, dialogs, launcher);
    return z_->Form_Load({workRoot(), server.host, server.port, {}, {}});
}

void Station::putBackup(const QString& name, const QByteArray& bytes) {
    writeBytes(backupDir() + name, bytes);
    QFile f(backupDir() + name);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                f.setFileTime(QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)),
                              QFileDevice::FileModificationTime));
}

void Station::pick(const QString& name) {
    for (const PickerLine& line : view.pickerLines)
        if (line.name == name) return z().Form5_List1_Click(line);
    ADD_FAILURE() << name.toStdString() << " is not in the picker";
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

ConsoleRun Station::runConsole(const QStringList& command, const QStringList& extraEnv) const {
    auto process = startConsole(command, extraEnv);
    if (!process->waitForFinished(120000)) {  // only a hang takes this long
        ADD_FAILURE() << "the program did not end";
        process->kill();
        process->waitForFinished(5000);
    }
    return {process->exitCode(), process->exitStatus() == QProcess::CrashExit,
            QString::fromUtf8(process->readAllStandardOutput()),
            QString::fromUtf8(process->readAllStandardError())};
}

void expectNoClaimLost(const Station& st, const ServerAccount& server,
                       const QList<QByteArray>& claims, bool seqMustBeOnServer) {
    const auto practice = filesIn(st.practice()), backups = filesIn(st.backupDir());
    const auto working = filesIn(st.workingDir()), onServer = filesIn(server.claimsDir());
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
        for (const QByteArray& bytes : practice) kept = kept || bytes.contains(claims[i]);
        EXPECT_TRUE(kept) << "claim " << i << " (" << claims[i].size() << " bytes) is lost";
    }
    const int number = parseSequenceRecord(st.seq());
    if (number > 0 && seqMustBeOnServer) {
        const QString name = st.claimName(number);
        EXPECT_TRUE(onServer.contains(name) && onServer.value(name) == backups.value(name))
            << "seqfile.fil names " << name.toStdString() << ", whose upload did not complete";
    }
}

void expectNoReportLost(const Station& st, const ServerAccount& server,
                        const QMap<QString, QByteArray>& reports) {
    const auto local = filesIn(st.reportFolder()), remote = filesIn(server.reportsDir());
    for (auto it = reports.cbegin(); it != reports.cend(); ++it) {
        EXPECT_TRUE(local.value(it.key()) == it.value() || remote.value(it.key()) == it.value())
            << "report " << it.key().toStdString() << " is lost";
        EXPECT_TRUE(!local.contains(it.key()) || local.value(it.key()) == it.value())
            << "report " << it.key().toStdString() << " is not whole on disk";
    }
    for (const QString& name : local.keys())
        EXPECT_TRUE(reports.contains(name)) << "left in the report folder: " << name.toStdString();
}

void expectNoPassword(const Station& st, const QString& password, const QString& extra) {
    const QString seen = st.allMessages() + st.view.status.join('\n') + st.logText() + extra;
    EXPECT_FALSE(seen.contains(password, Qt::CaseInsensitive)) << "the password shows in:\n"
                                                               << seen.toStdString();
}

ScopedMount::~ScopedMount() {
    for (auto it = mounted_.crbegin(); it != mounted_.crend(); ++it)
        ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
}

QString ScopedMount::tmpfs(const QString& folder, const QString& size) {
    QDir().mkpath(folder);
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                ("size=" + size.toLatin1()).constData()) != 0)
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

void ServerTest::SetUp() {
    if (kind() == ServerKind::OpenSsh) {
        ZV_START_TEST_SERVER(sshd);
        account = accountOf(sshd);
    } else {
        ZV_START_TEST_SERVER(server);
        account = accountOf(server);
    }
}

void ServerTest::startStation(const QString& fileType, const QString& mask) {
    st.writeSetup(account, fileType, mask);
    ASSERT_EQ(st.start(account), StartState::Complete) << st.allMessages().toStdString();
}

void StationTest::SetUp() {
    ServerTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure()) startStation();
}

}  // namespace zv::test
