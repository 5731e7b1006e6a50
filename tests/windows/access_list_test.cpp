// The work root's access list on Windows: the user, SYSTEM and the Administrators only,
// standing alone from the parent's, and passed on to what is made inside afterwards.
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

#include "base/platform.h"

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
