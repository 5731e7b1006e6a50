// The published code lists of the acknowledgments, in short words. A code not listed is
// shown as it is ("error code 31").
#include "answers/answer_words.h"

#include <span>
#include <utility>

namespace zv::answers {

namespace {

using Words = std::pair<const char*, const char*>;

QString lookup(std::span<const Words> table, const QString& code, const char* unknown) {
    for (const auto& [c, words] : table)
        if (code == QLatin1String(c)) return QString::fromLatin1(words);
    return QLatin1String(unknown) + QLatin1Char(' ') + code;
}

bool oneOf(const QString& code, std::initializer_list<const char*> codes) {
    for (const char* c : codes)
        if (code == QLatin1String(c)) return true;
    return false;
}

const Words kTa1Notes[] = {
    {"000", "no error"},
    {"001", "the control numbers in ISA and IEA do not match"},
    {"004", "the segment terminator is not valid"},
    {"005", "the sender ID qualifier is not valid"},
    {"006", "the sender ID is not valid"},
    {"007", "the receiver ID qualifier is not valid"},
    {"008", "the receiver ID is not valid"},
    {"009", "the receiver ID is not known"},
    {"014", "the interchange date is not valid"},
    {"015", "the interchange time is not valid"},
    {"018", "the interchange control number is not valid"},
    {"020", "the test indicator is not valid"},
    {"021", "the number of groups is not valid"},
    {"022", "the control structure is not valid"},
    {"023", "the file ended too early"},
    {"024", "the interchange content is not valid"},
    {"025", "the interchange control number was used before"},
    {"026", "the data element separator is not valid"},
    {"027", "the component separator is not valid"},
};

const Words kAcks[] = {
    {"A", "accepted"},
    {"E", "accepted with errors"},
    {"P", "partly accepted"},
    {"R", "rejected"},
    {"M", "rejected: its authentication failed"},
    {"W", "rejected: it failed the validity tests"},
    {"X", "rejected: it could not be read after decryption"},
};

const Words kSegmentErrors[] = {
    {"1", "unrecognized segment"},
    {"2", "unexpected segment"},
    {"3", "required segment missing"},
    {"4", "loop occurs too often"},
    {"5", "segment occurs too often"},
    {"6", "segment not in this transaction"},
    {"7", "segment out of order"},
    {"8", "segment has data element errors"},
    {"I4", "segment not used here is present"},
    {"I6", "implementation dependent segment missing"},
    {"I7", "loop occurs too few times"},
    {"I8", "segment occurs too few times"},
    {"I9", "implementation dependent segment not used here is present"},
};

const Words kElementErrors[] = {
    {"1", "required element missing"},
    {"2", "conditionally required element missing"},
    {"3", "too many elements"},
    {"4", "too short"},
    {"5", "too long"},
    {"6", "invalid character"},
    {"7", "invalid code value"},
    {"8", "invalid date"},
    {"9", "invalid time"},
    {"10", "exclusion condition violated"},
    {"12", "too many repetitions"},
    {"13", "too many components"},
    {"I6", "code value not used here"},
    {"I9", "implementation dependent element missing"},
    {"I10", "element not used here is present"},
    {"I11", "too few repetitions"},
    {"I12", "does not match the required pattern"},
    {"I13", "implementation dependent element not used here is present"},
};

const Words kSetErrors[] = {
    {"1", "transaction set not supported"},
    {"2", "transaction set trailer missing"},
    {"3", "control numbers in ST and SE do not match"},
    {"4", "segment count in SE is wrong"},
    {"5", "one or more segments in error"},
    {"6", "transaction set identifier missing or invalid"},
    {"7", "transaction set control number missing or invalid"},
    {"18", "transaction set not in a functional group"},
    {"19", "implementation convention reference not valid"},
    {"23", "transaction set control number used twice in the group"},
    {"I5", "one or more segments in error"},
    {"I6", "implementation convention not supported"},
};

const Words kGroupErrors[] = {
    {"1", "functional group not supported"},
    {"2", "functional group version not supported"},
    {"3", "functional group trailer missing"},
    {"4", "control numbers in GS and GE do not match"},
    {"5", "transaction set count in GE is wrong"},
    {"6", "group control number not valid"},
    {"19", "group control number used twice in the interchange"},
};

const Words kCategories[] = {
    {"A0", "forwarded"},
    {"A1", "received"},
    {"A2", "accepted"},
    {"A3", "returned as unprocessable"},
    {"A4", "not found"},
    {"A5", "split"},
    {"A6", "missing information"},
    {"A7", "invalid information"},
    {"A8", "relational field in error"},
};

const Words kClaimPayments[] = {
    {"1", "processed as primary"},
    {"2", "processed as secondary"},
    {"3", "processed as tertiary"},
    {"4", "denied"},
    {"19", "processed as primary, forwarded to another payer"},
    {"20", "processed as secondary, forwarded to another payer"},
    {"21", "processed as tertiary, forwarded to another payer"},
    {"22", "earlier payment reversed"},
    {"23", "not this payer's claim, forwarded to another payer"},
    {"25", "priced for predetermination only"},
};

}  // namespace

QString ta1Words(const QString& code) {
    if (code == QLatin1String("R")) return QStringLiteral("REJECTED");
    return lookup(kAcks, code, "answered with code");
}

QString ta1NoteWords(const QString& note) { return lookup(kTa1Notes, note, "note code"); }

bool ackAccepts(const QString& code) { return oneOf(code, {"A", "E"}); }
bool ackRejects(const QString& code) { return oneOf(code, {"R", "M", "W", "X"}); }
QString ackWords(const QString& code) { return lookup(kAcks, code, "answered with code"); }
QString segmentErrorWords(const QString& code) {
    return lookup(kSegmentErrors, code, "error code");
}
QString elementErrorWords(const QString& code) {
    return lookup(kElementErrors, code, "error code");
}
QString setErrorWords(const QString& code) { return lookup(kSetErrors, code, "error code"); }
QString groupErrorWords(const QString& code) { return lookup(kGroupErrors, code, "error code"); }

bool categoryAccepts(const QString& category) { return oneOf(category, {"A0", "A1", "A2", "A5"}); }
bool categoryRejects(const QString& category) {
    return oneOf(category, {"A3", "A4", "A6", "A7", "A8"});
}
QString categoryWords(const QString& category) {
    return lookup(kCategories, category, "status category");
}

QString claimPaymentWords(const QString& status) {
    return lookup(kClaimPayments, status, "claim status");
}

}  // namespace zv::answers
