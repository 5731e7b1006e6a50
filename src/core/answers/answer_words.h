#pragma once
// The codes of the acknowledgments and remittances, and what they mean in words.
#include <QString>

namespace zv::answers {

// TA104
QString ta1Words(const QString& code);
// TA105
QString ta1NoteWords(const QString& note);

// IK501 and AK901: A and E accept; R, M, W and X reject; P accepts part of a group.
bool ackAccepts(const QString& code);
bool ackRejects(const QString& code);
QString ackWords(const QString& code);
QString segmentErrorWords(const QString& code);  // IK304
QString elementErrorWords(const QString& code);  // IK403
QString setErrorWords(const QString& code);      // IK502 to IK506
QString groupErrorWords(const QString& code);    // AK905 to AK909

// 277CA claim status categories: A0, A1, A2 and A5 are not rejections; A3, A4, A6, A7
// and A8 are. Other categories decide nothing.
bool categoryAccepts(const QString& category);
bool categoryRejects(const QString& category);
QString categoryWords(const QString& category);

// CLP02
QString claimPaymentWords(const QString& status);

}  // namespace zv::answers
