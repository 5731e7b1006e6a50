#include "setup/catalogue.h"

#include <array>

#include "setup/setup_file.h"

namespace zv {

namespace {

struct CatalogueRow {
    const char* key;
    const char* folder;
    const char* fileName;
    const char* fileType;
};

// Searched in this order; the first matching key wins.
constexpr std::array<CatalogueRow, 18> kRows{{
    {"dbms", "c:\\zod\\user", "*.txt", "DEN"},
    {"dental 2000", "c:\\cdsdata\\eclaim", "eclaim.*", "NS2"},
    {"dentrix", "c:\\zod\\user", "*.pdf", "DTX"},
    {"eaglesoft", "c:\\zod\\user", "*.pdf", "EGL"},
    {"easydent", "c:\\zod\\user", "*.pdf", "EZD"},
    {"joey", "c:\\zod\\user", "*.ecp", "ECP"},
    {"opendental", "c:\\zod\\user", "*.txt", "83D"},
    {"qsi", "c:\\temp", "file.txt", "AD2"},
    {"avocation", "c:\\zod\\pending", "ec*", "AVO"},
    {"docutrac", "c:\\zod\\user", "eclaim.*", "83P"},
    {"healthpac", "c:\\zod\\user", "eclaim.*", "83P"},
    {"harrison", "c:\\zod\\user", "eclaim.*", "83P"},
    {"handyworks", "c:\\hww", "ansi.txt", "83P"},
    {"lytech", "c:\\claims", "claims.*", "CM5"},
    {"medlook", "c:\\claims", "claims.*", "CM5"},
    {"medflex", "m:\\medflex", "edi.txt", "83P"},
    {"medisoft", "c:\\zod\\user", "eclaims.*", "CM5"},
    {"tritech", "C:\\shared\\amazon\\Rar_Izaroz\\Claim Files", "*.*", "83P"},
}};

// SoftDent and the two "Other ..." entries.
constexpr CatalogueRow kCatchAll{"", "c:\\zod\\user", "eclaims.*", "TXT"};

CatalogueDefaults toDefaults(const CatalogueRow& row) {
    return {QString::fromLatin1(row.folder), QString::fromLatin1(row.fileName),
            QString::fromLatin1(row.fileType)};
}

bool isDriveLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

}  // namespace

const QStringList& catalogueEntries() {
    static const QStringList entries{
        kDentalHeading,
        QStringLiteral("DBMS"),
        QStringLiteral("Dental 2000"),
        QStringLiteral("Dentrix"),
        QStringLiteral("EagleSoft"),
        QStringLiteral("EasyDent"),
        QStringLiteral("JOEY"),
        QStringLiteral("OpenDental"),
        QStringLiteral("QSI"),
        QStringLiteral("SoftDent"),
        QStringLiteral("Other Dental Software"),
        kMedicalHeading,
        QStringLiteral("Avocation"),
        QStringLiteral("Docutrac"),
        QStringLiteral("Harrison"),
        QStringLiteral("Medisoft"),
        QStringLiteral("MedFlex"),
        QStringLiteral("MedLook"),
        QStringLiteral("LyTech"),
        QStringLiteral("HandyWorks"),
        QStringLiteral("HealthPac"),
        QStringLiteral("TriTech"),
        QStringLiteral("Other Medical Software"),
    };
    return entries;
}

CatalogueDefaults catalogueDefaults(const QString& entryText) {
    const QString key = entryText.toLower();
    for (const CatalogueRow& row : kRows) {
        if (key == QLatin1String(row.key)) return toDefaults(row);
    }
    return toDefaults(kCatchAll);
}

std::optional<CatalogueDefaults> catalogueChoice(int position, const QString& entryText) {
    if (position <= 0) return std::nullopt;
    if (trimTrailingBlanks(entryText) == kMedicalHeading) return std::nullopt;
    return catalogueDefaults(entryText);
}

QString localCatalogueFolder(const QString& windowsFolder, const QString& workRoot) {
    QString root = workRoot;
    if (!root.endsWith(u'/')) root += u'/';

    const QString zodFolder = QStringLiteral("c:\\zod");
    QString local;
    if (windowsFolder.compare(zodFolder, Qt::CaseInsensitive) == 0) {
        local = root;
    } else if (windowsFolder.startsWith(zodFolder + u'\\', Qt::CaseInsensitive)) {
        local = root + windowsFolder.mid(zodFolder.size() + 1);
    } else if (windowsFolder.size() >= 2 && isDriveLetter(windowsFolder[0]) &&
               windowsFolder[1] == u':') {
        // "x:" and "x:\..." both name the top of the drive.
        QString rest = windowsFolder.mid(2);
        if (rest.startsWith(u'\\')) rest.remove(0, 1);
        local = u'/' + rest;
    } else {
        local = windowsFolder;
    }
    return local.replace(u'\\', u'/');
}

}  // namespace zv
