#pragma once
// The lines and checks of the claim file picker's lists.
#include <QString>

namespace zv {

// Resend list: NAME (upper case), two blanks, the date column built from the general
// date text: chars 1-2 "/" 4-5 "/" 7-10, two blanks, chars 12 to the end.
QString resendPickerText(const QString& name, const QString& generalDate);
// View list: NAME (upper case), three blanks, first 10 chars of the date text, one
// blank, the rest from the 11th character.
QString viewPickerText(const QString& name, const QString& generalDate);
// Delete list: name, two blanks, a blank (sign place) and the size in decimal.
QString deletePickerText(const QString& name, qint64 size);

// A name fit to be used as a file name in a local folder: not empty, not "." or "..",
// no "/", "\" or control character.
bool isPlainFileName(const QString& name);

}  // namespace zv
