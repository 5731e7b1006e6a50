#pragma once
// Submission numbers, seqfile.fil and the names claim files are sent under.
#include <QByteArray>
#include <QString>

#include "base/result.h"

namespace zv {

inline constexpr int kLastSubmissionNumber = 9999;

// Leading-number parse of record 1: leading blanks skipped, digits read (blanks
// between them skipped) up to the first other character. No digits give 0.
int parseSequenceRecord(const QByteArray& record);
// "0042"
QString submissionNumberText(int number);
// Upper-cased site ID + four digits + "." + file type: ("k9", 42, "83p") -> "K90042.83P".
QString makeClaimName(const QString& siteId, int number, const QString& fileType);
// The number in a claim name of this site and file type ("K90042.83P" -> 42), else -1.
int claimNumberOf(const QString& name, const QString& siteId, const QString& fileType);
// The server name an upload is written under until the server holds all of it: a dot-name
// that the server's processing leaves alone, made this program's and this run's own by
// `token` ("K90042.83P", "q7k2" -> ".K90042.83P.q7k2.part"): another program sending
// under the same site ID never writes, renames or removes it.
QString uploadTempName(const QString& claimName, const QString& token);
// The claim name an upload's temporary name stands for (any program's), else "".
QString claimNameOfTemp(const QString& name);
// A fresh random token for uploadTempName, letters and digits.
QString newUploadToken();

// seqfile.fil: record 1 = the first four bytes; further bytes are left untouched.
// Reading a missing file gives 0 (the file is created empty). The record is written in
// place, not replaced, so that whatever follows it stays.
Result<int> readSequenceFile(const QString& path);
Status writeSequenceFile(const QString& path, int number);
// Creates the file with "0000" when it does not exist; an existing one is untouched.
Status createSequenceFileIfMissing(const QString& path);

}  // namespace zv
