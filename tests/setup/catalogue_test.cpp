#include "setup/catalogue.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

void expectDefaults(const QString& entry, const char* folder, const char* fileName,
                    const char* fileType) {
    const CatalogueDefaults d = catalogueDefaults(entry);
    EXPECT_EQ(d.folder, QString::fromLatin1(folder)) << entry.toStdString();
    EXPECT_EQ(d.fileName, QString::fromLatin1(fileName)) << entry.toStdString();
    EXPECT_EQ(d.fileType, QString::fromLatin1(fileType)) << entry.toStdString();
}

TEST(Catalogue, ListHasBothHeadingsInPlace) {
    const QStringList& entries = catalogueEntries();
    ASSERT_EQ(entries.size(), 23);
    EXPECT_EQ(entries.at(0), QStringLiteral("----Dental Software----"));
    EXPECT_EQ(entries.at(9), QStringLiteral("SoftDent"));
    EXPECT_EQ(entries.at(11), QStringLiteral("----Medical Software----"));
    EXPECT_EQ(entries.at(22), QStringLiteral("Other Medical Software"));
}

TEST(Catalogue, EveryPackageHasItsOwnRowOrTheCatchAll) {
    expectDefaults(QStringLiteral("DBMS"), "c:\\zod\\user", "*.txt", "DEN");
    expectDefaults(QStringLiteral("Dental 2000"), "c:\\cdsdata\\eclaim", "eclaim.*", "NS2");
    expectDefaults(QStringLiteral("Avocation"), "c:\\zod\\pending", "ec*", "AVO");
    expectDefaults(QStringLiteral("TriTech"), "C:\\shared\\amazon\\Rar_Izaroz\\Claim Files", "*.*",
                   "83P");
    expectDefaults(QStringLiteral("MedFlex"), "m:\\medflex", "edi.txt", "83P");
    for (const char* catchAll : {"SoftDent", "Other Dental Software", "Other Medical Software"})
        expectDefaults(QString::fromLatin1(catchAll), "c:\\zod\\user", "eclaims.*", "TXT");
}

TEST(Catalogue, HeadingsAndNoSelectionChooseNothing) {
    EXPECT_FALSE(catalogueChoice(-1, QString()));
    EXPECT_FALSE(catalogueChoice(0, QStringLiteral("----Dental Software----")));
    EXPECT_FALSE(catalogueChoice(11, QStringLiteral("----Medical Software----")));
    EXPECT_FALSE(catalogueChoice(11, QStringLiteral("----Medical Software----   ")));
    // The first entry is the dental heading by its place, whatever it says.
    EXPECT_FALSE(catalogueChoice(0, QStringLiteral("DBMS")));
    ASSERT_TRUE(catalogueChoice(1, QStringLiteral("DBMS")));
    EXPECT_EQ(catalogueChoice(1, QStringLiteral("DBMS"))->fileType, QStringLiteral("DEN"));
    // Away from the top the dental heading is just an unknown entry.
    ASSERT_TRUE(catalogueChoice(5, QStringLiteral("----Dental Software----")));
}

TEST(Catalogue, FoldersBecomeLocalPaths) {
    const QString root = QStringLiteral("/home/pat/zod/");
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("c:\\zod\\user"), root),
              QStringLiteral("/home/pat/zod/user"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("C:\\ZOD\\pending"), root),
              QStringLiteral("/home/pat/zod/pending"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("c:\\zod"), root), root);
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("c:\\zod\\user"), QStringLiteral("/w")),
              QStringLiteral("/w/user"));
    // Only the zod folder itself moves to the work root.
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("c:\\zodiac\\x"), root),
              QStringLiteral("/zodiac/x"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("c:\\cdsdata\\eclaim"), root),
              QStringLiteral("/cdsdata/eclaim"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("m:\\medflex"), root),
              QStringLiteral("/medflex"));
    EXPECT_EQ(
        localCatalogueFolder(QStringLiteral("C:\\shared\\amazon\\Rar_Izaroz\\Claim Files"), root),
        QStringLiteral("/shared/amazon/Rar_Izaroz/Claim Files"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("d:"), root), QStringLiteral("/"));
    EXPECT_EQ(localCatalogueFolder(QStringLiteral("d:\\"), root), QStringLiteral("/"));
}

}  // namespace
}  // namespace zv
