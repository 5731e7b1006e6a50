#pragma once
// Made-up X12 interchanges for the tests: one practice (SMILEDENTAL) and its patients.
#include <QByteArray>
#include <QList>

namespace zv::test {

// An interchange around `body` (segments without terminators), each segment ended by
// "~" and a line break; `groups` is IEA01.
inline QByteArray interchange(const QList<QByteArray>& body, int groups = 1,
                              const QByteArray& number = "000000905", char usage = 'P') {
    QByteArray out =
        "ISA*00*          *00*          *ZZ*SMILEDENTAL    *ZZ*ZOD            *"
        "260512*1003*^*00501*" +
        number + "*0*" + usage + "*:~\n";
    for (const QByteArray& s : body) out += s + "~\n";
    return out + "IEA*" + QByteArray::number(groups) + "*" + number + "~\n";
}

// One group (GS06 41) holding one transaction of `type` around `body`.
inline QList<QByteArray> group(const QByteArray& type, QList<QByteArray> body,
                               const QByteArray& st02 = "0001") {
    body.prepend("ST*" + type + "*" + st02);
    body.append("SE*" + QByteArray::number(body.size() + 1) + "*" + st02);
    body.prepend("GS*HC*SMILEDENTAL*ZOD*20260512*1003*41*X*005010X222A1");
    body.append("GE*1*41");
    return body;
}

// A sound 837 of two transactions and three claims ($150.50, $20, $0.25).
inline QByteArray claimFile(const QByteArray& number = "000000905", char usage = 'P') {
    return interchange(
        {"GS*HC*SMILEDENTAL*ZOD*20260512*1003*41*X*005010X222A1", "ST*837*0001*005010X222A1",
         "BHT*0019*00*B1*20260512*1003*CH", "CLM*PCN-1*150.5***11:B:1*Y*A*Y*Y",
         "CLM*PCN-2*20***11:B:1*Y*A*Y*Y", "SE*5*0001", "ST*837*0002*005010X222A1",
         "CLM*PCN-3*.25***11:B:1*Y*A*Y*Y", "SE*3*0002", "GE*2*41"},
        1, number, usage);
}

}  // namespace zv::test
