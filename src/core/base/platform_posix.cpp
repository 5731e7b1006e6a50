#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <optional>

#include "base/platform.h"

namespace zv {

namespace {

// What keepNewFilesPrivate() last set, and the umask it found before; a umask changed
// since (a test, a caller) is taken as the new starting one.
std::atomic<int> ownUmask{-1};
std::atomic<int> foundUmask{-1};

// The process's umask, read without changing it (umask() would, for every thread).
std::optional<mode_t> currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("Umask:")) continue;
        bool ok = false;
        const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok) return static_cast<mode_t>(mask);
    }
    return std::nullopt;
}

Status chmodFailure(const QString& path) {
    return fail(QStringLiteral("Cannot make %1 private: %2")
                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(strerror(errno))));
}

}  // namespace

void keepNewFilesPrivate() {
    const mode_t was = ::umask(077);
    if (static_cast<int>(was) != ownUmask.load()) foundUmask = static_cast<int>(was);
    ownUmask = static_cast<int>(was | 077);
    ::umask(was | 077);
}

unsigned startingUmask() {
    const int found = foundUmask.load();
    if (found >= 0) return static_cast<unsigned>(found);
    return currentUmask().value_or(022);
}

Status makePrivate(const QString& path) {
    const QByteArray folder = QFile::encodeName(path);
    if (::chmod(folder.constData(), 0700) != 0) return chmodFailure(path);
    const QDir dir(path);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray file = QFile::encodeName(dir.filePath(name));
        struct stat st {};
        // A link is left alone: chmod would change what it points to.
        if (::lstat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) == 0)
            continue;
        if (::chmod(file.constData(), st.st_mode & 0700) != 0)
            return chmodFailure(dir.filePath(name));
    }
    return {};
}

bool flushToDisk(QFile& file) { return file.flush() && ::fsync(file.handle()) == 0; }

bool isPlainFile(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

qint64 freeDiskBytes(const QString& folder) {
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) != 0) return -1;
    return static_cast<qint64>(disk.f_bavail) * static_cast<qint64>(disk.f_frsize);
}

bool errorOutputIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

}  // namespace zv
