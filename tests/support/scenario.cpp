#include "support/scenario.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace zv::test {

namespace {

// One setup line as the program writes it: 8-character key, value, padded to 50, CR LF.
// Written here by hand because the program's writer folds the password's case.
QByteArray setupLine(const char* key, const QString& value) {
    return (QByteArray(key) + value.toLatin1()).leftJustified(50, ' ', true) + "\r\n";
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

}  // namespace

Scenario::Scenario(const ServerAccount& acc, const ScenarioOptions& o) : account(acc) {
    QDir().mkpath(workRoot());
    QDir().mkpath(practiceDir());
    QDir().mkpath(reportDir());
    const QByteArray setup =
        setupLine("UserPath", practiceDir()) + setupLine("UserFile", o.userFile) +
        setupLine("FileType", o.fileType) + setupLine("SoftType", o.softType) +
        setupLine("SiteID  ", o.siteId.isEmpty() ? account.user : o.siteId) +
        setupLine("PassWord", o.password.isEmpty() ? account.password : o.password) +
        setupLine("RptPath ", reportDir());
    EXPECT_EQ(setup.size(), 364);
    writeBytes(workRoot() + QStringLiteral("setup.prm"), setup);

    z = std::make_unique<Zuduvor>(m, view, view, dialogs, launcher);
    StartOptions start;
    start.workRoot = workRoot();
    start.sftpHost = account.host;
    start.sftpPort = account.port;
    started = z->Form_Load(start);
    EXPECT_EQ(started, StartState::Complete) << dialogs.texts().join(" | ").toStdString();
}

QString Scenario::workRoot() const { return tmp.path() + QStringLiteral("/zod/"); }
QString Scenario::practiceDir() const { return tmp.path() + QStringLiteral("/practice/"); }
QString Scenario::reportDir() const { return tmp.path() + QStringLiteral("/reports/"); }

void Scenario::dropClaim(const QString& name, const QByteArray& bytes) const {
    writeBytes(practiceDir() + name, bytes);
}

void Scenario::putReport(const QString& name, const QByteArray& bytes) const {
    writeBytes(account.home + QStringLiteral("/reports/") + name, bytes);
}

void Scenario::putServerClaim(const QString& name, const QByteArray& bytes) const {
    writeBytes(account.home + QStringLiteral("/claims/") + name, bytes);
}

void Scenario::writeSeqfile(const QByteArray& bytes) const { writeBytes(seqfilePath(), bytes); }

QByteArray Scenario::seqfile() const { return bytesOf(seqfilePath()); }

QStringList Scenario::serverFiles(const QString& dir) const {
    return localFiles(account.home + QLatin1Char('/') + dir);
}

QByteArray Scenario::serverBytes(const QString& path) const {
    return bytesOf(account.home + QLatin1Char('/') + path);
}

QStringList Scenario::localFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray Scenario::bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList Scenario::logActivities() const {
    static const QRegularExpression stamp(
        QStringLiteral(" on \\d\\d-\\d\\d-\\d{4} at \\d\\d:\\d\\d:\\d\\d$"));
    QStringList out;
    const QString text = QString::fromLatin1(bytesOf(workRoot() + QStringLiteral("ZUDUVOR.LOG")));
    for (QString line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const auto match = stamp.match(line);
        out << (match.hasMatch() ? line.left(match.capturedStart()) : line + "<no stamp>");
    }
    return out;
}

::testing::AssertionResult failureShown(const RecordingDialogs& dialogs, const QString& message) {
    for (const auto& shown : dialogs.shown)
        if (shown.text.startsWith(message + QLatin1Char('\n')) &&
            shown.text.size() > message.size() + 1)
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "no \"" << message.toStdString()
           << "\" + detail among: " << dialogs.texts().join(" | ").toStdString();
}

void ScenarioTest::SetUp() {
    ZV_START_TEST_SERVER(server);
    rebuild({});
}

void ScenarioTest::rebuild(const ScenarioOptions& options) {
    s.reset();
    s = std::make_unique<Scenario>(ServerAccount::of(server), options);
}

}  // namespace zv::test
