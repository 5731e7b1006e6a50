#include "support/station.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>

#include "base/text_file.h"
#include "claims/numbering.h"
#include "support/x12_samples.h"

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
    // A sound interchange (the send's guards let it pass) whose control numbers and notes
    // no other seed has, with stray bytes: a claim is found again by its whole content
    // even inside a joined file. The last note pads it to the size.
    QRandomGenerator gen(seed);
    const QByteArray number = QByteArray::number(seed % 1000000000).rightJustified(9, '0');
    const QByteArray head = interchange({}).left(90) + number + "*0*P*:~\nGS*HC*SMILEDENTAL*ZOD*" +
                            "20260512*1003*" + QByteArray::number(seed) + "*X*005010X222A1~\n" +
                            "ST*837*0001~\n";
    const auto tail = [&](int segments) {
        return "SE*" + QByteArray::number(segments) + "*0001~\nGE*1*" + QByteArray::number(seed) +
               "~\nIEA*1*" + number + "~\n";
    };
    const auto note = [&] {
        const char stray = char(gen.generate() & 0xff);
        return "NTE*ADD*PRACTICE " + QByteArray::number(gen.generate() % 100000) +
               (QByteArray("*~:^\r\n").contains(stray) ? QByteArray() : QByteArray(1, stray)) +
               "~\n";
    };
    QByteArray body;
    int segments = 2;  // ST and SE
    for (QByteArray line = note();
         head.size() + body.size() + line.size() + tail(segments + 2).size() + 8 <= size;
         line = note(), ++segments)
        body += line;
    const qsizetype pad = size - head.size() - body.size() - tail(segments + 1).size() - 6;
    if (pad < 0) return QByteArray(size, 'c');  // too small for an envelope
    return head + body + "NTE*" + QByteArray(pad, 'X') + "~\n" + tail(segments + 1);
}

void putAged(const QString& path, const QByteArray& bytes) {
    // Written a while ago: the send's guards need not wait to see whether it still grows.
    writeBytes(path, bytes);
    QFile f(path);
    ASSERT_TRUE(
        f.open(QIODevice::ReadWrite) &&
        f.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
}

QMap<QString, QByteArray> filesIn(const QString& folder) {
    // By the names' bytes, shown as the program shows them: "\xE9" for a byte that is not
    // UTF-8. Everything but folders, as a link to one.
    QMap<QString, QByteArray> out;
    const QByteArray dir = QFile::encodeName(folder) + '/';
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.constData()), ::closedir);
    struct stat st;
    for (const dirent* e; d && (e = ::readdir(d.get()));) {
        const QByteArray path = dir + e->d_name;
        if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        QFile f;
        const bool opened = f.open(::open(path.constData(), O_RDONLY), QIODevice::ReadOnly,
                                   QFileDevice::AutoCloseHandle);
        out.insert(readableName(e->d_name), opened ? f.readAll() : QByteArray("<missing>"));
    }
    return out;
}

// Short paths: a folder value in setup.prm holds at most 42 characters.
ServerTest::ServerTest() : dir_("/tmp/zvi-XXXXXX") {
    for (const QString& sub : {practice(), reportFolder(), workRoot()}) QDir().mkpath(sub);
}

ServerTest::~ServerTest() {
    z_.reset();
    writer_.kill();
    writer_.waitForFinished();
    if (umask_) ::umask(*umask_);
    for (auto it = mounted_.crbegin(); it != mounted_.crend(); ++it)
        QProcess::execute("umount", {"-l", *it});
    QProcess::execute("chattr", {"-R", "-i", dir_.path()});  // left by a failed test
    QProcess::execute("rm", {"-rf", dir_.path()});           // names that are not UTF-8 too
}

void ServerTest::SetUp() {
    const auto accountOf = [](const LoopbackServer& s) {
        return ServerAccount{s.host(), s.port(), s.user(), s.password(), s.home()};
    };
    if (kind() == ServerKind::OpenSsh) {
        ZV_START_TEST_SERVER(sshd);
        account = accountOf(sshd);
    } else {
        ZV_START_TEST_SERVER(server);
        account = accountOf(server);
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
    const QString values[] = {userPath_.isEmpty() ? practice() : path(userPath_),
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

namespace {
// In a scenario's words "x{N}" stands for N times x, "$" for the site ID, "@N" for N
// claim-like bytes, and "%XX" for the byte XX.
QString expand(QString words, const QString& site) {
    words.replace('$', site.toUpper());
    static const QRegularExpression repeat(QStringLiteral("(.)\\{(\\d+)\\}"));
    for (auto m = repeat.match(words); m.hasMatch(); m = repeat.match(words))
        words.replace(m.capturedStart(), m.capturedLength(),
                      QString(m.captured(2).toInt(), m.captured(1).at(0)));
    return words;
}
QByteArray bytesOf(const QString& text) {
    if (text.startsWith('@')) return patterned(text.mid(1).toInt(), text.mid(1).toUInt());
    return QByteArray::fromPercentEncoding(text.toUtf8());
}
QString listed(const QMap<QString, QByteArray>& files, bool withBytes) {
    QStringList out;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        out << (withBytes ? it.key() + '=' + QString::fromUtf8(*it) : it.key());
    return out.join('|');
}
}  // namespace

QString ServerTest::path(const QString& p) const {
    return p.startsWith("~/") ? account.home + p.mid(1) : p.startsWith('/') ? p : base() + p;
}

// Files: p: a claim in the practice folder (changed 5 s ago), x12:NAME=ISA13,ISA15 a sound
// 837 there, fresh: a claim changed just now, grow:NAME one still being written, x: a file
// there that is no claim, mix: a.clm,
// [x].clm and "b c.txt" there with a claim beside and one below it; z: a 50 MiB claim
// that is mostly a hole; b: a backup, c: a working copy, w: a claim waiting on the
// server, r: a report there, l: a file in the report folder (%XX in their names: that byte), s:
// seqfile.fil, t: claim.txt, k: a file that must stay as it is (bytes and time), ln:LINK>TARGET;
// RO: a read-only folder, I: an immutable file, F: a file that fills its disk, umask:OCTAL for the
// rest of the test; before start-up: T: a 256 KiB tmpfs, FAT: a FAT image (letter case ignored),
// listener:GREETING no SSH server at all, weak a server with weak algorithms only,
// password: another password, userpath:FOLDER the claim folder in setup.prm;
// the server: fail:OP=GLOB refuses, drop: cuts the connection before it, cut: after
// it (the reply is lost), stall: holds the reply beyond the time-out, slow: 0.6 s, cutat:GLOB=N
// cuts the connection at byte N of a write (cutread:GLOB=N of a read), reorder sends
// replies out of order, shortwrite and shortread lie, list:DIR=A,B and many:DIR=FORMAT
// (10,000 names) add names to a listing, endless:listing of reports/ and endless:read of
// every file never end, trickle:S,N sends a byte every S seconds after N (the time-out is
// then long, the deadline 2 s), twice:GLOB lists matching names twice.
void ServerTest::place(const QString& word) {
    const QString key = word.section(':', 0, 0), rest = word.section(':', 1);
    const QString name = rest.section('=', 0, 0);
    const QByteArray bytes = bytesOf(rest.section('=', 1));
    if (key == "p") {
        putClaim(name, bytes);
        if (!bytes.isEmpty()) claims << bytes;
    } else if (key == "mix") {
        for (const char* claim : {"p:a.clm=a.clm", "p:[x].clm=[x].clm", "p:b c.txt=b c.txt",
                                  "k:outside.clm=outside", "k:practice/sub/inner.clm=inner"})
            place(claim);
    } else if (key == "z") {
        QFile f(practice() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("ISA~") == 4 && f.resize(50 << 20) &&
                    f.setFileTime(QDateTime::currentDateTime().addSecs(-5),
                                  QFileDevice::FileModificationTime));
        f.close();
        claims << readBytes(f.fileName());
    } else if (key == "b") {  // dated 01/05/2026 9:03:07 AM
        writeBytes(backupDir() + name, bytes);
        QFile f(backupDir() + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)),
                                  QFileDevice::FileModificationTime));
    } else if (key == "k") {
        if (rest.contains('=')) writeBytes(path(name), bytes);
        kept_[path(name)] = readBytes(path(name));
        keptTimes_[path(name)] = QFileInfo(path(name)).lastModified();
    } else if (key == "x12" || key == "fresh") {  // x12:NAME=ISA13,ISA15; fresh: changed now
        const QByteArray claim = key == "fresh" ? bytes : claimFile(bytes.left(9), bytes.back());
        key == "fresh" ? writeBytes(practice() + name, claim) : putClaim(name, claim);
        claims << claim;
    } else if (key == "grow") {  // written on by a billing program until the test ends
        writeBytes(practice() + name, "ISA~");
        writer_.start("/bin/sh",
                      {"-c", "while :; do echo NTE~ >>\"$0\"; sleep 0.3; done", practice() + name});
        ASSERT_TRUE(writer_.waitForStarted());
    } else if (key == "r" || key == "l") {  // %XX in the name: that byte
        const QByteArray raw = QByteArray::fromPercentEncoding(name.toUtf8());
        QFile f;
        ASSERT_TRUE(
            f.open(
                ::open(QFile::encodeName(key == "r" ? account.reportsDir() : reportFolder()) + raw,
                       O_WRONLY | O_CREAT | O_TRUNC, 0666),
                QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
            f.write(bytes) == bytes.size());
        reports[readableName(raw)] = bytes;
    } else if (const int i = QStringList{"x", "c", "w", "s", "t"}.indexOf(key); i >= 0) {
        const QString folder[] = {practice(), workingDir(), account.claimsDir()};
        i == 0  ? putAged(folder[i] + name, bytes)
        : i < 3 ? writeBytes(folder[i] + name, bytes)
                : writeBytes(i == 3 ? seqFile() : workRoot() + "claim.txt", bytesOf(rest));
    } else if (key == "ln") {
        ASSERT_TRUE(QFile::link(path(rest.section('>', 1)), path(rest.section('>', 0, 0))));
    } else if (key == "I") {
        ASSERT_EQ(QProcess::execute("chattr", {"+i", path(rest)}), 0);
    } else if (key == "F") {
        QFile filler(path(rest));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
    } else if (const int i = QStringList{"fail", "drop", "cut", "stall", "slow"}.indexOf(key);
               i >= 0) {
        const QString glob = rest.contains('=') ? rest.section('=', 1) : "*";
        if (i == 0) server.failOn(name, glob);
        if (i == 1 || i == 2) server.dropOn(name, glob, i == 2);
        if (i == 3) z().Client().IdleTimeoutMs(3000);  // the time-out, not the server, ends it
        if (i == 3) server.delayOn(name, glob, 120);
        if (i == 4) server.delayOn(name, glob, 0.6);
    } else if (key == "cutat" || key == "cutread") {
        const qint64 at = rest.section('=', 1).toLongLong();
        key == "cutat" ? server.cutWriteAt(name, at) : server.cutReadAt(name, at);
    } else if (key == "reorder") {
        server.reorder();
    } else if (key == "userpath") {
        userPath_ = rest;
    } else if (key == "twice") {
        server.listTwice(rest);
    } else if (key == "umask") {  // until the test ends
        const mode_t before = ::umask(rest.toUInt(nullptr, 8));
        if (!umask_) umask_ = before;
    } else if (key == "FAT") {  // letter case ignored, as on a USB stick; the kernel's or FUSE's
        const QString image = base() + "fat.img";
        if (!QFile(image).open(QIODevice::WriteOnly) || !QFile::resize(image, 8 << 20) ||
            QProcess::execute("mkfs.vfat", {image}) != 0 ||
            (QProcess::execute("mount", {"-o", "loop", image, path(rest)}) != 0 &&
             QProcess::execute("fusefat", {"-o", "rw+", image, path(rest)}) != 0))
            GTEST_SKIP() << "cannot mount a FAT image here (dosfstools, fusefat)";
        mounted_ << path(rest);
    } else if (key == "shortwrite" || key == "shortread") {
        key == "shortwrite" ? server.shortWriteOn() : server.shortReadOn();
    } else if (key == "endless") {
        rest == "listing" ? server.endlessListing("reports") : server.endlessRead("*");
    } else if (key == "trickle") {
        z().Client().IdleTimeoutMs(30000);
        z().Client().OperationDeadlineMs(2000);
        server.trickle(rest.section(',', 0, 0).toDouble(), rest.section(',', 1).toLongLong());
    } else if (key == "list" || key == "many") {
        QStringList names = rest.section('=', 1).split(',');
        for (int i = 0; key == "many" && i < 10000; ++i)
            names << rest.section('=', 1).arg(i, 5, 10, QLatin1Char('0'));
        server.extraEntries(name, key == "many" ? names.mid(1) : names);
    } else if (key == "T" || key == "RO") {  // until the test ends
        QDir().mkpath(path(rest));
        const QStringList ro{"--bind", "-o", "ro", path(rest), path(rest)},
            full{"-t", "tmpfs", "-o", "size=256k", "tmpfs", path(rest)};
        if (QProcess::execute("mount", key == "RO" ? ro : full) != 0)
            GTEST_SKIP() << "cannot mount here";
        mounted_ << path(rest);
    } else if (key == "listener") {  // says its greeting to each caller, then keeps quiet
        listener_.start("/usr/bin/python3",
                        {"-c",
                         "import socket,sys\ns=socket.create_server(('127.0.0.1',0))\n"
                         "print(s.getsockname()[1],flush=True)\nk=[]\nwhile 1:\n"
                         " k.append(s.accept()[0]);k[-1].sendall(sys.argv[1].encode())",
                         bytesOf(rest)});
        ASSERT_TRUE(listener_.waitForReadyRead(20000));
        account.port = listener_.readLine().trimmed().toInt();
    } else if (key == "weak") {
        ASSERT_TRUE(weak.start());
        account = {weak.host(), weak.port(), weak.user(), weak.password(), weak.home()};
    } else if (key == "password") {
        account.password = rest;
    } else {
        ADD_FAILURE() << "no such file word: " << word;
    }
}

// Clicks: S send, R resend, D delete, V view claims, v view reports, G get reports, X
// close the picker, @NAME pick (?NAME when listed), q: a picker line with no blank, ok the next
// question is answered OK (else Cancel), hold the next guard question is answered Cancel
// (else OK), quiet nothing was shown or asked, o the opener fails, ! the server restarts, clear its
// faults end, -:PATH a
// file taken away, resendmode left over from before, i:WORD done when the window next
// takes input. Checks on the way: #A,B the picker's lines, lines:N their number, h the
// picker hidden, 0m no picker mode left, ls:DIR=A,B the names in a folder, mode:PATH=OCTAL
// a file's permissions, status:TEXT=N lines
// holding TEXT, nolog: not in the server's log, log: in it; stop the server stops, nosftp it
// refuses SFTP; newkey it comes back with another host key, noauth no password was tried since,
// clear its faults end; signons:N passwords it accepted in all; kh:cut and kh:bin damage
// known_hosts (kept so), fp the first contact showed its key's fingerprint. Any other word places a
// file.
void ServerTest::click(const QString& word) {
    const QString arg = word.section(':', 1);
    const QString clicks[] = {"S", "R", "D", "V", "v", "G", "X"};
    void (Zuduvor::*handlers[])() = {&Zuduvor::SendClaims_Click,       &Zuduvor::ResendClaims_Click,
                                     &Zuduvor::DeleteClaimFiles_Click, &Zuduvor::ViewClaims_Click,
                                     &Zuduvor::ViewReports_Click,      &Zuduvor::GetReports_Click,
                                     &Zuduvor::Form5_Command1_Click};
    if (const auto i = std::find(std::begin(clicks), std::end(clicks), word) - clicks; i < 7) {
        (z().*handlers[i])();
    } else if (word == "ok") {
        dialogs.answers.push_back(true);
    } else if (word == "hold") {  // the next guard question is answered Cancel
        dialogs.guardAnswers.push_back(false);
    } else if (word == "quiet") {
        EXPECT_TRUE(dialogs.shown.empty()) << allMessages();
    } else if (word == "o") {
        launcher.succeed = false;
    } else if (word == "!") {
        ASSERT_TRUE(server.restart());
    } else if (word == "resendmode") {
        m.PickerMode.ResendMode = true;
        m.ClaimName = claimName(5);
    } else if (word.startsWith('@') || word.startsWith('?')) {  // ?: only when it is listed
        const auto lines = view.pickerLines;                    // the click may list anew
        const auto it = std::find_if(lines.begin(), lines.end(),
                                     [&](const PickerLine& l) { return l.name == word.mid(1); });
        if (it != lines.end()) z().Form5_List1_Click(*it);
        EXPECT_TRUE(it != lines.end() || word[0] == '?') << word << " is not in the picker";
    } else if (word.startsWith("q:")) {
        z().Form5_List1_Click({arg, arg});
    } else if (word.startsWith("-:")) {
        if (arg.startsWith("practice/")) claims.removeAll(readBytes(path(arg)));  // by its owner
        ASSERT_TRUE(QFile::remove(path(arg))) << arg;
    } else if (word.startsWith("i:")) {
        view.onPendingInput = [this, arg] {
            view.onPendingInput = nullptr;
            click(arg);
        };
    } else if (word.startsWith('#')) {
        QStringList lines;
        for (const PickerLine& line : view.pickerLines) lines << line.text;
        lines.sort();
        EXPECT_EQ(lines.join(','), word.mid(1));
    } else if (word.startsWith("lines:")) {
        EXPECT_EQ(view.pickerLines.size(), arg.toULongLong());
    } else if (word == "h") {
        EXPECT_FALSE(view.pickerVisible) << "the picker stays";
    } else if (word == "0m") {
        EXPECT_FALSE(m.PickerMode.ResendMode || m.PickerMode.DeleteMode || m.PickerMode.ViewMode);
    } else if (word.startsWith("ls:")) {
        EXPECT_EQ(filesIn(path(arg.section('=', 0, 0))).keys().join(','), arg.section('=', 1));
    } else if (word.startsWith("status:")) {
        const QStringList lines = view.status.filter(arg.section('=', 0, 0));
        EXPECT_EQ(lines.size(), arg.section('=', 1).toInt()) << view.status.join('|');
        for (const QString& line : lines)  // one short line each, whatever the name was
            EXPECT_TRUE(line.size() < 150 && !line.contains(QRegularExpression("[\\x00-\\x1f]")))
                << line;
    } else if (word.startsWith("mode:")) {  // a file's permission bits, in octal
        struct stat st;
        EXPECT_TRUE(::stat(QFile::encodeName(path(arg.section('=', 0, 0))).constData(), &st) == 0 &&
                    (st.st_mode & 07777) == arg.section('=', 1).toUInt(nullptr, 8))
            << word << " is " << QString::number(st.st_mode & 07777, 8);
    } else if (word.startsWith("log:") || word.startsWith("nolog:")) {
        EXPECT_EQ(server.logText().contains(arg) || weak.logText().contains(arg), word[0] == 'l');
    } else if (word == "stop" || word == "nosftp") {
        word == "stop" ? server.stop() : server.refuseSftp(true);
    } else if (word.startsWith("cli:")) {  // the program without a window, on this station
        cli_ = runConsole(arg.split(' '));
        EXPECT_FALSE(cli_.crashed);
        EXPECT_FALSE(cli_.exitCode == 1 && cli_.out.contains(cli_.err.section('\n', 0, 0)))
            << "a message went to standard output";
        expectNoPassword(cli_.out + cli_.err);
    } else if (word.startsWith("exit:")) {
        EXPECT_EQ(cli_.exitCode, arg.toInt()) << cli_.err;
    } else if (word.startsWith("out:") || word.startsWith("err:")) {
        const QString& stream = word[0] == 'o' ? cli_.out : cli_.err;
        EXPECT_TRUE(stream.contains(QString::fromUtf8(bytesOf(arg)))) << stream;
    } else if (word.startsWith("noerr:")) {
        EXPECT_FALSE(cli_.err.contains(QString::fromUtf8(bytesOf(arg)))) << cli_.err;
    } else if (word == "newkey") {  // the old connection must end for the new server's port
        (void)z().Client().ConnectServer(QString(), 0);
        ASSERT_TRUE(server.changeHostKey());
        auths_ = server.logText().count("auth user=");
    } else if (word == "clear") {
        server.clearFaults();
    } else if (word.startsWith("kh:")) {
        const QString hosts = workRoot() + "known_hosts";
        const QByteArray was = readBytes(hosts);
        kept_[hosts] = arg == "cut" ? was.left(was.size() / 2)
                                    : "\x7f"
                                      "ELF\x02\x01" +
                                          was;
        writeBytes(hosts, kept_[hosts]);
        auths_ = server.logText().count("auth user=");
    } else if (word == "fp") {
        QProcess keygen;
        keygen.start("ssh-keygen", {"-lf", workRoot() + "known_hosts"});
        ASSERT_TRUE(keygen.waitForFinished(20000));
        const QString key = QString::fromLatin1(keygen.readAll()).section(' ', 1, 1);
        EXPECT_EQ(view.status.filter(" key " + key + " is now recorded").size(), 1)
            << view.status.join('|');
    } else if (word.startsWith("signons:")) {
        EXPECT_EQ(server.logText().count(" accepted"), arg.toInt()) << server.logText();
    } else if (word == "noauth") {
        EXPECT_EQ(server.logText().count("auth user="), auths_) << "a password went to it";
    } else {
        place(word);
    }
}

void ServerTest::clicks(const QString& words) {
    for (const QString& word : expand(words, account.user).split('|', Qt::SkipEmptyParts))
        click(word);
}

void ServerTest::run(const Scenario& s) {
    const QStringList setup = QString::fromUtf8(s.setup).split('|');
    for (const QString& word : setup.mid(2)) place(word);
    if (IsSkipped() || HasFatalFailure()) return;
    startStation(setup[0], setup[1]);
    clicks(QString::fromUtf8(s.files));
    if (IsSkipped() || HasFatalFailure()) return;
    clicks(QString::fromUtf8(s.clicks));
    EXPECT_TRUE(!s.told || (!dialogs.shown.empty() && allMessages().contains(s.told)))
        << "not told " << s.told;
    for (const QString& text : dialogs.texts())
        EXPECT_TRUE(s.told || !text.contains('\n')) << "a failure was shown: " << text;
    const QString waiting = expand(s.server, account.user), home = expand(s.reports, account.user);
    EXPECT_EQ(listed(filesIn(account.claimsDir()), waiting.contains('=')), waiting);
    EXPECT_EQ(listed(filesIn(reportFolder()), home.contains('=')), home);
    EXPECT_TRUE(!s.seq || seq() == QByteArray::fromPercentEncoding(s.seq))
        << seq().toHex().toStdString();
    EXPECT_TRUE(!s.text || readBytes(workRoot() + "claim.txt") == s.text);
    EXPECT_EQ(launcher.opened.join('|').remove(base()), s.opened);
    for (auto it = kept_.cbegin(); it != kept_.cend(); ++it)
        EXPECT_EQ(readBytes(it.key()), *it) << it.key() << " changed";
    for (auto it = keptTimes_.cbegin(); it != keptTimes_.cend(); ++it)
        EXPECT_EQ(QFileInfo(it.key()).lastModified(), *it) << it.key() << " touched";
    if (!claims.isEmpty())
        expectNoClaimLost(claims, !QString(s.files).contains(QRegularExpression("(^|\\|)s:")));
    expectNoReportLost(reports);
    EXPECT_FALSE(allMessages().contains("another ZUDUVOR program"));
}

}  // namespace zv::test
