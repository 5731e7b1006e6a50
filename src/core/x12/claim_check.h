#pragma once
// Checks an X12 837 claim file in version 5010 (professional 005010X222A1, institutional
// 005010X223A2, dental 005010X224A2, told apart by GS08) for what ZOD's front end would
// reject: syntax (segment and element types, lengths, dates, counts, control numbers),
// the implementation guide's loops, segments and codes that need no outside data, claim
// balancing and identifiers (NPI check digit, Medicare beneficiary identifier, dates of
// service after today). Pure and streaming: one pass over the bytes, no clock of its own,
// and memory bounded by `maxFindings`, whatever the file's size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv::x12::check {

enum class FileKind {
    NotChecked,     // not an 837 in version 5010: nothing to say about it
    Unreadable,     // begins as an interchange, but its header (ISA) cannot be read
    Professional,   // 837P
    Institutional,  // 837I
    Dental,         // 837D
};

enum class Severity { Error, Warning };  // Error: ZOD would reject; Warning: it would not

// Every rule; ruleCode() gives each a stable name (for --json and the tests).
enum class Rule : std::uint8_t {
    // Envelope (TA1, 999 AK9 and IK5).
    InterchangeHeader,
    InterchangeEndMissing,
    InterchangeCount,
    InterchangeNumber,
    EnvelopeOrder,
    GroupEndMissing,
    GroupCount,
    GroupNumber,
    TransactionEndMissing,
    TransactionCount,
    TransactionNumber,
    // Segments (999 IK3).
    SegmentUnrecognized,
    SegmentUnexpected,
    SegmentMissing,
    LoopTooMany,
    SegmentTooMany,
    SegmentOutOfOrder,
    // Elements (999 IK4).
    ElementMissing,
    ElementConditionMissing,
    ElementTooMany,
    ElementTooShort,
    ElementTooLong,
    ElementBadCharacter,
    ElementBadCode,
    ElementBadDate,
    ElementBadTime,
    ElementRepeated,
    ElementTooManyComponents,
    // The implementation guide's situations and hierarchy.
    SituationalElementMissing,
    SituationalElementPresent,
    SituationalSegmentMissing,
    HierarchyNumber,
    HierarchyParent,
    HierarchyChild,
    // Claim content (ZOD's 277CA).
    StreetAddress,
    ZipCode,
    DiagnosisPointer,
    DiagnosisFormat,
    ToothCode,
    RevenueCode,
    ProcedureCodeFormat,
    BirthDate,
    // Balancing.
    ClaimBalance,
    LinePayerBalance,
    ClaimPayerBalance,
    // Identifiers and dates of service.
    NpiCheckDigit,
    MedicareIdFormat,
    ServiceDateFuture,
    ServiceDateOld,
};

struct Date {
    int year = 0, month = 0, day = 0;
};

struct CheckOptions {
    Date today;  // dates of service after it are errors
    std::size_t maxFindings = 1000;
};

struct Finding {
    Rule rule = Rule::EnvelopeOrder;
    Severity severity = Severity::Error;
    std::string claim;        // patient control number (CLM01) when inside a claim
    std::string patient;      // "DOE, JANE" from the subscriber or patient name, when known
    std::string transaction;  // ST02 of its transaction set
    std::string loop;         // "2010AA"; empty for the envelope and the transaction's header
    std::string loopName;     // "Billing Provider Name", or the segment's own name
    std::string segment;      // "NM1"
    std::int64_t segmentNumber = 0;  // in its transaction (ST is 1); 0 outside one
    int element = 0;                 // position; 0 when the segment as a whole is meant
    int component = 0;               // position inside a composite; 0 for the element
    std::string elementName;         // "Billing Provider Identifier"
    std::string value;               // as found: shortened, unprintable bytes shown as '?'
    int serviceLine = 0;             // LX01 inside a service line
    std::string problem;             // what is wrong, in words
    std::string action;              // what to do about it in the billing software
    std::string answer;              // what ZOD's acknowledgement would say (999, TA1, 277CA)
};

struct CheckReport {
    FileKind kind = FileKind::NotChecked;
    std::string guide;       // GS08 of the first group checked: "005010X222A1"
    std::string notChecked;  // why the file was not checked, for kinds NotChecked and Unreadable
    std::int64_t segments = 0, transactions = 0, claims = 0, serviceLines = 0;
    std::int64_t errors = 0, warnings = 0;
    std::vector<Finding> findings;  // the first maxFindings, in file order
    std::int64_t findingsLeftOut = 0;
    bool hasErrors() const { return errors > 0; }
};

CheckReport checkClaimFile(std::string_view bytes, const CheckOptions& options);

std::string_view ruleCode(Rule rule);
// "837P", "837I", "837D", or "" for a file not checked.
std::string_view kindName(FileKind kind);
// "NM109" or "CLM05-3"; the segment ID alone when no element is meant.
std::string elementReference(const Finding& finding);

// One finding in one line: where (claim, loop, element and value) and what is wrong.
std::string findingLine(const Finding& finding);
// The first error's findingLine, for "NAME would be rejected by ZOD: N problems, the
// first: ... Send it anyway?"; empty when there is no error.
std::string firstProblem(const CheckReport& report);
// The text file staff open and hand to the billing software's support: a header, then
// one finding per paragraph. Plain ASCII (values are shown with '?' for other bytes).
std::string findingsText(const CheckReport& report, std::string_view fileName,
                         std::string_view lineEnd = "\r\n");
// The same as one JSON object, for `zuduvor check --json`.
std::string findingsJson(const CheckReport& report, std::string_view fileName);

}  // namespace zv::x12::check
