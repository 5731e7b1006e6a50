#include <windows.h>
// after windows.h
#include <aclapi.h>
#include <io.h>
#include <sddl.h>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <memory>

#include "base/platform.h"

namespace zv {

namespace {

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

}  // namespace

QString windowsErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(text, LocalFree);
    if (n == 0) return QStringLiteral("Windows error %1").arg(code);
    return QString::fromWCharArray(text, int(n)).trimmed();
}

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
template <class T>
struct LocalFreer {
    void operator()(T* p) const { LocalFree(p); }
};

// The SID of the user this program runs as, in its string form ("S-1-5-21-...").
QString currentUserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const std::unique_ptr<void, HandleCloser> token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    if (!GetTokenInformation(raw, TokenUser, buffer.get(), size, &size)) return {};
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sid))
        return {};
    const std::unique_ptr<wchar_t, LocalFreer<wchar_t>> owned(sid);
    return QString::fromWCharArray(sid);
}

}  // namespace

void keepNewFilesPrivate() {}

namespace {

// Whether the folder's list already stands alone (made private at an earlier start):
// setting it again would rewrite the list of every file below it at every start.
bool alreadyPrivate(const std::wstring& path) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &raw) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, LocalFreer<void>> descriptor(raw);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return GetSecurityDescriptorControl(raw, &control, &revision) && (control & SE_DACL_PROTECTED);
}

}  // namespace

Status makePrivate(const QString& path) {
    if (alreadyPrivate(nativePath(path))) return {};
    const auto failure = [&](DWORD code) {
        return fail(QStringLiteral("Cannot make %1 private: %2")
                        .arg(QDir::toNativeSeparators(path), windowsErrorText(code)));
    };
    const QString user = currentUserSid();
    if (user.isEmpty()) return failure(GetLastError());
    // Full control for the user, SYSTEM and the Administrators, passed on to every file and
    // folder below; "P" stops the parent's entries (Users: read) from reaching in.
    const std::wstring sddl = QStringLiteral("D:P(A;OICI;FA;;;%1)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)")
                                  .arg(user)
                                  .toStdWString();
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw,
                                                              nullptr))
        return failure(GetLastError());
    const std::unique_ptr<void, LocalFreer<void>> descriptor(raw);
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted))
        return failure(GetLastError());
    std::wstring target = nativePath(path);
    // Also rewrites the inherited entries of everything already below the folder.
    const DWORD set =
        SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr);
    return set == ERROR_SUCCESS ? Status() : failure(set);
}

bool flushToDisk(QFile& file) {
    if (!file.flush()) return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

bool isPlainFile(const QString& path) {
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

qint64 freeDiskBytes(const QString& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(nativePath(folder).c_str(), &available, nullptr, nullptr)) return -1;
    return static_cast<qint64>(available.QuadPart);
}

bool errorOutputIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace zv
