#pragma once
// The claims of a claim file we sent, each with what an answer can name it by.
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <vector>

#include "base/result.h"

namespace zv::answers {

struct SentClaim {
    QString patientControlNumber;  // CLM01
    qint64 chargeCents = 0;        // CLM02
    QString interchange;           // ISA13
    QString group;                 // GS06
    QString set;                   // ST02
    QString batch;                 // BHT03 of its transaction
    QString providerNpi;           // NM109 of the billing provider (NM1*85, NM108 XX)
    QString providerTaxId;         // REF*EI of the billing provider
    QString providerName;
};

struct SentFile {
    QString name;      // K90042.83P
    QDateTime sentAt;  // when the server confirmed it; null when not known
    std::vector<SentClaim> claims;
};

// The claims of an 837 (several interchanges one after another allowed), in file order.
// Fails as the envelope check does, and on a charge (CLM02) that is not an amount.
[[nodiscard]] Result<std::vector<SentClaim>> readSentClaims(QByteArrayView data);

// Control numbers (ISA13, GS06, ST02) are numbers: "61" is "000000061". Other text is
// compared as it is, blanks around it aside.
bool sameControlNumber(QStringView a, QStringView b);
// The form two control numbers that are the same number share (leading zeros dropped).
QString controlKey(QStringView number);

}  // namespace zv::answers
