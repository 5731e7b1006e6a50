// Files on Windows: a file a viewer holds open is told in words and left as it was, and the
// work root's access list is the user's, SYSTEM's and the Administrators' alone.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <aclapi.h>
#include <sddl.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "base/durable_file.h"
#include "base/platform.h"
#include "support/files.h"

namespace zv {
namespace {

// The folder's or file's access list as SDDL text ("D:P(A;OICI;FA;;;SY)..."), empty when
// it cannot be read.
QString accessList(const QString& path) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &raw) != ERROR_SUCCESS)
        return {};
    const std::unique_ptr<void, decltype(&LocalFree)> descriptor(raw, LocalFree);
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return {};
    const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(text, LocalFree);
    return QString::fromWCharArray(text);
}

// A viewer holds a report open, sharing reading only (as most do): the new copy is refused
// in words, the old one stays whole, no temporary file is left, and once the viewer is
// closed the write goes through.
TEST(HeldOpen, AFileAViewerHoldsIsToldAndLeftAsItWas) {
    QTemporaryDir dir;
    const QString report = dir.filePath("R1.TXT");
    test::writeBytes(report, "old report");
    const std::wstring native = QDir::toNativeSeparators(report).toStdWString();
    HANDLE viewer = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    const Status refused = writeFileSafely(report, "new report");
    CloseHandle(viewer);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.reason().contains("it is open in another program"))
        << refused.reason().toStdString();
    EXPECT_EQ(test::readBytes(report), "old report");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"R1.TXT"});
    ASSERT_TRUE(writeFileSafely(report, "new report").ok());
    EXPECT_EQ(test::readBytes(report), "new report");
}

// Wine keeps neither the list's "protected" mark nor passes the list on to what is below,
// and makes up an Everyone entry from the Unix modes: this is for a run on real Windows.
bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(AccessList, TheWorkRootIsTheUsersSystemsAndTheAdministratorsAlone) {
    if (underWine()) GTEST_SKIP() << "Wine does not keep Windows access lists";
    QTemporaryDir dir;
    const QString root = dir.filePath("ZODTEST");
    ASSERT_TRUE(QDir().mkpath(root + "/claims"));
    ASSERT_TRUE(makePrivate(root).ok());
    QFile later(root + "/claims/K9SITE0001.83P");  // made after: inherits the list
    ASSERT_TRUE(later.open(QIODevice::WriteOnly));
    later.close();
    for (const QString& path : {root, root + "/claims", later.fileName()}) {
        const QString list = accessList(path);
        SCOPED_TRACE(path.toStdString() + ": " + list.toStdString());
        EXPECT_TRUE(list.startsWith("D:P") || path != root);  // stands alone from its parent
        EXPECT_TRUE(list.contains(";;;SY)") && list.contains(";;;BA)"));
        for (const char* other : {";;;WD)", ";;;BU)", ";;;AU)"})  // Everyone, Users, all users
            EXPECT_FALSE(list.contains(QLatin1String(other)));
    }
    ASSERT_TRUE(makePrivate(root).ok());  // a second start leaves it as it is
    EXPECT_TRUE(accessList(root).startsWith("D:P"));
}

}  // namespace
}  // namespace zv
