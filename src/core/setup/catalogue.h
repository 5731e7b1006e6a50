#pragma once
// The billing packages offered in the claim file setup, with the folder, file mask and
// file type code that each package's claim file usually has.
#include <QString>
#include <QStringList>
#include <optional>

namespace zv {

inline const QString kDentalHeading = QStringLiteral("----Dental Software----");
inline const QString kMedicalHeading = QStringLiteral("----Medical Software----");

struct CatalogueDefaults {
    QString folder;  // as the package writes it on its own workstations (a Windows path)
    QString fileName;
    QString fileType;
};

// The 23 list entries in list order, both headings included.
const QStringList& catalogueEntries();

// First row whose key equals the entry text lower-cased; anything else gets the
// catch-all row.
CatalogueDefaults catalogueDefaults(const QString& entryText);

// What choosing the entry at `position` (0 = first, negative = no selection) brings.
// Nothing for the dental heading (recognised by its place at the top), the medical
// heading (by its text) or no selection.
std::optional<CatalogueDefaults> catalogueChoice(int position, const QString& entryText);

// Turns a catalogue folder into a folder on this machine: a leading "c:\zod\" (any
// case) becomes the work root, any other leading drive becomes "/", and every "\"
// becomes "/".
QString localCatalogueFolder(const QString& windowsFolder, const QString& workRoot);

}  // namespace zv
