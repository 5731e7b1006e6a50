#pragma once
// The few operating-system calls the program makes outside Qt, one function each, with a
// POSIX and a Windows body (platform_posix.cpp, platform_windows.cpp).
#include <QString>

#include "base/result.h"

class QFile;

namespace zv {

// Everything the program creates from here on (files, folders, the ledger's journals, lock
// files) is its owner's alone, whatever the umask the program was started with. POSIX:
// the umask gains 077; Windows: nothing to do here (see makePrivate).
void keepNewFilesPrivate();

// Makes the folder `path` and the files directly in it readable by the owner only. POSIX:
// 0700 for the folder, 0600 for its files. Windows: a protected ACL for the owner, SYSTEM
// and the Administrators, inherited by everything below it, old and new.
Status makePrivate(const QString& path);

// Puts what was written through `file` on the disk.
bool flushToDisk(QFile& file);

// Whether `path` is a regular file; a link or a junction is not followed.
bool isPlainFile(const QString& path);

// Bytes free for this user on the disk that holds `folder`; -1 when unknown.
qint64 freeDiskBytes(const QString& folder);

// Whether standard error is a terminal (a console window on Windows).
bool errorOutputIsTerminal();

#ifdef Q_OS_WIN
// Windows' own words for an error code from GetLastError().
QString windowsErrorText(unsigned long code);
#else
// The umask the program was started with (before keepNewFilesPrivate), for files written
// into the practice's own folders.
unsigned startingUmask();
#endif

}  // namespace zv
