// Proves the cross-built Windows libraries work together in one program: a Qt window drawn
// to a picture, a libssh session, an SQLite database in write-ahead-log mode and a SHA-256
// from libcrypto. Run it in an empty folder; it writes smoke.png and smoke.db there.
//   windows-smoke.exe -platform windows
#include <libssh/libssh.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sqlite3.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace {

// An empty string when the check passed, else what went wrong.
using Failure = std::string;

Failure drawWindow() {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Zuduvor smoke check"));
    auto* layout = new QVBoxLayout(&window);
    // Non-ASCII text shows whether the font path draws real glyphs, not boxes.
    layout->addWidget(new QLabel(QStringLiteral("Claims sent: 3 \u2014 Gr\u00fc\u00dfe, Jos\u00e9")));
    layout->addWidget(new QPushButton(QStringLiteral("Send Claims")));
    window.resize(360, 120);
    const QPixmap picture = window.grab();
    if (picture.isNull()) return "the window could not be drawn";
    if (!picture.save(QStringLiteral("smoke.png"))) return "smoke.png could not be written";
    return {};
}

Failure sshSession() {
    if (ssh_init() != SSH_OK) return "libssh did not initialise";
    const std::unique_ptr<ssh_session_struct, decltype(&ssh_free)> session(ssh_new(), ssh_free);
    if (!session) return "libssh could not make a session";
    const long port = 2222;
    if (ssh_options_set(session.get(), SSH_OPTIONS_HOST, "127.0.0.1") != SSH_OK ||
        ssh_options_set(session.get(), SSH_OPTIONS_PORT, &port) != SSH_OK)
        return "libssh refused a session option";
    return {};
}

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Db openDb() {
    sqlite3* raw = nullptr;
    sqlite3_open("smoke.db", &raw);
    return Db(raw, sqlite3_close);
}

// The first column of the first row, or the error text.
std::string scalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW) return sqlite3_errmsg(db);
    const auto* text = sqlite3_column_text(raw, 0);
    return text ? reinterpret_cast<const char*>(text) : "";
}

Failure sqliteWal() {
    std::remove("smoke.db");
    const Db writer = openDb();
    if (!writer) return "smoke.db could not be opened";
    if (const auto mode = scalar(writer.get(), "PRAGMA journal_mode=WAL"); mode != "wal")
        return "write-ahead log refused: " + mode;
    if (sqlite3_exec(writer.get(), "CREATE TABLE t(v TEXT); BEGIN; INSERT INTO t VALUES('x');",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return std::string("write failed: ") + sqlite3_errmsg(writer.get());
    // A second connection reads the last committed state while the write is open.
    const Db reader = openDb();
    if (const auto n = scalar(reader.get(), "SELECT count(*) FROM t"); n != "0")
        return "a reader saw an uncommitted row: " + n;
    if (sqlite3_exec(writer.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return "commit failed";
    if (const auto n = scalar(reader.get(), "SELECT count(*) FROM t"); n != "1")
        return "a reader missed the committed row: " + n;
    if (const auto ok = scalar(reader.get(), "PRAGMA integrity_check"); ok != "ok")
        return "integrity check: " + ok;
    return {};
}

Failure sha256() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    const std::string_view input = "abc";
    if (EVP_Digest(input.data(), input.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        return "SHA-256 could not be computed";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        std::array<char, 3> byte{};
        std::snprintf(byte.data(), byte.size(), "%02x", digest[i]);
        hex += byte.data();
    }
    if (hex != "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad")
        return "SHA-256 of \"abc\" came out as " + hex;
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::printf("Qt %s (%s), libssh %s, SQLite %s, %s\n", qVersion(),
                qPrintable(QApplication::platformName()), ssh_version(0), sqlite3_libversion(),
                OpenSSL_version(OPENSSL_VERSION));
    struct Check {
        const char* name;
        Failure (*run)();
    };
    const std::array<Check, 4> checks{{{"window", drawWindow},
                                       {"libssh", sshSession},
                                       {"sqlite", sqliteWal},
                                       {"sha256", sha256}}};
    int failed = 0;
    for (const auto& check : checks) {
        const Failure failure = check.run();
        std::printf("%s: %s\n", check.name, failure.empty() ? "ok" : failure.c_str());
        failed += failure.empty() ? 0 : 1;
    }
    ssh_finalize();
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
