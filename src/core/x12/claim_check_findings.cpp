// The claim checker's rules by name and severity, what ZOD's acknowledgements would say,
// and the findings as staff read them: one line, a text file, JSON.
#include "x12/claim_check_findings.h"

#include <array>
#include <cstdio>
#include <utility>

namespace zv::x12::check {
namespace {

constexpr std::string_view kRebuild =
    "Have the billing software make the claim file again; if the problem comes back, send this "
    "list to the billing software's support.";
constexpr std::string_view kCorrect =
    "Correct this value in the billing software where it comes from (practice, provider, "
    "patient, insurance or claim); if it is not entered there, send this list to the billing "
    "software's support.";
constexpr std::string_view kMissing =
    "Fill in the missing information in the billing software (the practice, provider, patient, "
    "insurance or claim it belongs to); if it is filled in there, send this list to the billing "
    "software's support.";
constexpr std::string_view kStructure =
    "The billing software decides how the file is built: send this list to its support.";
constexpr std::string_view kPayer =
    "Check the other payer's payment and adjustments, as its remittance (835) shows them, on "
    "the secondary claim in the billing software.";

constexpr std::pair<std::string_view, std::string_view> kElementWords[] = {
    {"1", "Required Data Element Missing"},
    {"2", "Conditional Required Data Element Missing"},
    {"3", "Too Many Data Elements"},
    {"4", "Data Element Too Short"},
    {"5", "Data Element Too Long"},
    {"6", "Invalid Character In Data Element"},
    {"7", "Invalid Code Value"},
    {"8", "Invalid Date"},
    {"9", "Invalid Time"},
    {"12", "Too Many Repetitions"},
    {"13", "Too Many Components"},
    {"I9", "Implementation Dependent Data Element Missing"},
    {"I12", "Implementation Pattern Match Failure"},
    {"I13", "Implementation Dependent \"Not Used\" Data Element Present"},
};
constexpr std::pair<std::string_view, std::string_view> kSegmentWords[] = {
    {"1", "Unrecognized Segment ID"},
    {"2", "Unexpected Segment"},
    {"3", "Required Segment Missing"},
    {"4", "Loop Occurs Over Maximum Times"},
    {"5", "Segment Exceeds Maximum Use"},
    {"7", "Segment Not in Proper Sequence"},
    {"I6", "Implementation Dependent Segment Missing"},
};
constexpr std::pair<std::string_view, std::string_view> kInterchangeWords[] = {
    {"001", "The Interchange Control Number in the Header and Trailer Do Not Match"},
    {"005", "Invalid Interchange ID Qualifier for Sender"},
    {"006", "Invalid Interchange Sender ID"},
    {"007", "Invalid Interchange ID Qualifier for Receiver"},
    {"008", "Invalid Interchange Receiver ID"},
    {"010", "Invalid Authorization Information Qualifier Value"},
    {"011", "Invalid Authorization Information Value"},
    {"012", "Invalid Security Information Qualifier Value"},
    {"013", "Invalid Security Information Value"},
    {"014", "Invalid Interchange Date Value"},
    {"015", "Invalid Interchange Time Value"},
    {"017", "Invalid Interchange Version ID Value"},
    {"018", "Invalid Interchange Control Number Value"},
    {"019", "Invalid Acknowledgment Requested Value"},
    {"020", "Invalid Test Indicator Value"},
    {"021", "Invalid Number of Included Groups Value"},
    {"022", "Invalid Control Structure"},
    {"023", "Improper (Premature) End-of-File (Transmission)"},
    {"024", "Invalid Interchange Content"},
};

std::string_view wordsOf(const auto& table, std::string_view code) {
    for (const auto& [c, words] : table)
        if (c == code) return words;
    return {};
}

std::string answer(std::string_view prefix, std::string_view code, std::string_view words) {
    return std::string(prefix) + std::string(code) + " (" + std::string(words) + ")";
}

std::string groupAnswer(std::string_view code) {
    return answer(
        "999: functional group rejected, AK905 ", code,
        code == "3" ? "Functional Group Trailer Missing"
        : code == "4"
            ? "Group Control Number in the Functional Group Header and Trailer Do Not Agree"
            : "Number of Included Transaction Sets Does Not Match Actual Count");
}

std::string transactionAnswer(std::string_view code) {
    return answer("999: transaction set rejected, IK502 ", code,
                  code == "2" ? "Transaction Set Trailer Missing"
                  : code == "3"
                      ? "Transaction Set Control Number in Header and Trailer Do Not Match"
                      : "Number of Included Segments Does Not Match Actual Count");
}

struct Table {
    std::array<RuleInfo, 64> rules{};
    Table() {
        const auto set = [&](Rule r, std::string_view code, Severity s, std::string_view kind,
                             std::string_view ack, std::string_view action) {
            std::string text = kind == "IK4"   ? elementAnswer(ack)
                               : kind == "IK3" ? segmentAnswer(ack)
                               : kind == "TA1" ? interchangeAnswer(ack)
                               : kind == "IK5" ? transactionAnswer(ack)
                               : kind == "AK9" ? groupAnswer(ack)
                               : kind == "277" ? claimAnswer(ack.substr(0, ack.find(' ')),
                                                             ack.substr(ack.find(' ') + 1))
                                               : std::string();
            rules[std::size_t(r)] = {code, s, std::move(text), action};
        };
        const Severity E = Severity::Error, W = Severity::Warning;
        constexpr std::string_view kInvalid = "A7 Acknowledgement/Rejected for Invalid Information";
        constexpr std::string_view kBalance = "A7:400 Claim is out of balance";
        // clang-format off
        set(Rule::InterchangeHeader, "interchange-header", E, "", "", kRebuild);
        set(Rule::InterchangeEndMissing, "interchange-end-missing", E, "TA1", "023", kRebuild);
        set(Rule::InterchangeCount, "interchange-count", E, "TA1", "021", kRebuild);
        set(Rule::InterchangeNumber, "interchange-number", E, "TA1", "001", kRebuild);
        set(Rule::EnvelopeOrder, "envelope-order", E, "TA1", "022", kRebuild);
        set(Rule::GroupEndMissing, "group-end-missing", E, "AK9", "3", kRebuild);
        set(Rule::GroupCount, "group-count", E, "AK9", "5", kRebuild);
        set(Rule::GroupNumber, "group-number", E, "AK9", "4", kRebuild);
        set(Rule::TransactionEndMissing, "transaction-end-missing", E, "IK5", "2", kRebuild);
        set(Rule::TransactionCount, "transaction-count", E, "IK5", "4", kRebuild);
        set(Rule::TransactionNumber, "transaction-number", E, "IK5", "3", kRebuild);
        set(Rule::SegmentUnrecognized, "segment-unrecognized", E, "IK3", "1", kStructure);
        set(Rule::SegmentUnexpected, "segment-unexpected", E, "IK3", "2", kStructure);
        set(Rule::SegmentMissing, "segment-missing", E, "IK3", "3", kMissing);
        set(Rule::LoopTooMany, "loop-too-many", E, "IK3", "4", kCorrect);
        set(Rule::SegmentTooMany, "segment-too-many", E, "IK3", "5", kCorrect);
        set(Rule::SegmentOutOfOrder, "segment-out-of-order", E, "IK3", "7", kStructure);
        set(Rule::ElementMissing, "element-missing", E, "IK4", "1", kMissing);
        set(Rule::ElementConditionMissing, "element-condition-missing", E, "IK4", "2", kMissing);
        set(Rule::ElementTooMany, "element-too-many", E, "IK4", "3", kStructure);
        set(Rule::ElementTooShort, "element-too-short", E, "IK4", "4", kCorrect);
        set(Rule::ElementTooLong, "element-too-long", E, "IK4", "5", kCorrect);
        set(Rule::ElementBadCharacter, "element-bad-character", E, "IK4", "6", kCorrect);
        set(Rule::ElementBadCode, "element-bad-code", E, "IK4", "7", kCorrect);
        set(Rule::ElementBadDate, "element-bad-date", E, "IK4", "8", kCorrect);
        set(Rule::ElementBadTime, "element-bad-time", E, "IK4", "9", kCorrect);
        set(Rule::ElementRepeated, "element-repeated", E, "IK4", "12", kCorrect);
        set(Rule::ElementTooManyComponents, "element-too-many-components", E, "IK4", "13", kCorrect);
        set(Rule::SituationalElementMissing, "situational-element-missing", E, "IK4", "I9", kMissing);
        set(Rule::SituationalElementPresent, "situational-element-present", W, "IK4", "I13", kStructure);
        set(Rule::SituationalSegmentMissing, "situational-segment-missing", E, "IK3", "I6", kMissing);
        set(Rule::HierarchyNumber, "hierarchy-number", E, "IK4", "I12", kStructure);
        set(Rule::HierarchyParent, "hierarchy-parent", E, "IK4", "I12", kStructure);
        set(Rule::HierarchyChild, "hierarchy-child", E, "IK4", "7", kStructure);
        set(Rule::StreetAddress, "street-address", E, "IK4", "I12",
            "Enter the billing provider's street address in the billing software's practice "
            "setup; a post office box belongs in the pay-to address.");
        set(Rule::ZipCode, "zip-code", E, "IK4", "I12", "Enter the full ZIP code (nine digits for "
            "the billing provider and the service facility) in the billing software.");
        set(Rule::DiagnosisPointer, "diagnosis-pointer", E, "277", kInvalid,
            "Point the service line at one of the claim's diagnoses in the billing software.");
        set(Rule::DiagnosisFormat, "diagnosis-format", E, "IK4", "I12", kStructure);
        set(Rule::ToothCode, "tooth-code", E, "277", kInvalid, "Correct the tooth number of the service line.");
        set(Rule::RevenueCode, "revenue-code", E, "277", kInvalid, "Correct the revenue code of the service line.");
        set(Rule::ProcedureCodeFormat, "procedure-code-format", W, "", "",
            "Check the procedure code of the service line.");
        set(Rule::BirthDate, "birth-date", E, "277", "A7:158 Entity's date of birth", "Correct the date of birth in the billing software.");
        set(Rule::ClaimBalance, "claim-balance", E, "277", kBalance,
            "Correct the charges in the billing software so that the claim's total equals the "
            "sum of its lines, then make the claim file again.");
        set(Rule::LinePayerBalance, "line-payer-balance", E, "277", kBalance, kPayer);
        set(Rule::ClaimPayerBalance, "claim-payer-balance", E, "277", kBalance, kPayer);
        set(Rule::NpiCheckDigit, "npi-check-digit", E, "277", "A7:562 Entity's National Provider Identifier (NPI)",
            "Correct the NPI in the billing software's provider setup, as the NPI registry shows it.");
        set(Rule::MedicareIdFormat, "medicare-id-format", E, "277", "A7:164:IL Entity's contract/member number",
            "Correct the patient's Medicare number in the billing software as the Medicare card "
            "shows it (the MBI, not the old number that ends in a letter).");
        set(Rule::ServiceDateFuture, "service-date-future", E, "277", "A7:187 Date(s) of service",
            "Correct the date of service, or send the claim once the service has been given.");
        set(Rule::ServiceDateOld, "service-date-old", W, "", "",
            "Check the date of service, and whether the payer still takes the claim.");
        // clang-format on
    }
};

const Table& table() {
    static const Table t;
    return t;
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", unsigned(c));
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string plural(std::int64_t n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

bool isMissingSegment(const Finding& f) {
    return f.rule == Rule::SegmentMissing || f.rule == Rule::SituationalSegmentMissing;
}

std::string where(const Finding& f) {
    std::string out = f.loop.empty() ? f.loopName : "loop " + f.loop + " " + f.loopName;
    const std::string sep = out.empty() ? "" : ", ";
    if (f.segmentNumber > 0)
        out += sep +
               (isMissingSegment(f) ? "the " + f.segment + " segment missing before segment "
                                    : "segment ") +
               std::to_string(f.segmentNumber) +
               (isMissingSegment(f) ? std::string() : " (" + f.segment + ")") +
               (f.transaction.empty() ? "" : " of transaction set " + f.transaction);
    else if (!f.segment.empty())
        out += sep + "segment " + f.segment;
    return out;
}

std::string element(const Finding& f) {
    std::string out = elementReference(f);
    if (!f.elementName.empty()) out += " (" + f.elementName + ")";
    return out;
}

std::string whose(const Finding& f) {
    std::string out;
    if (!f.claim.empty()) out = "claim " + f.claim;
    if (!f.patient.empty()) out += (out.empty() ? "patient " : ", patient ") + f.patient;
    if (f.serviceLine > 0)
        out += (out.empty() ? "" : ", ") + std::string("service line ") +
               std::to_string(f.serviceLine);
    return out;
}

std::string_view kindWords(FileKind kind) {
    switch (kind) {
        case FileKind::Professional:
            return "professional claims";
        case FileKind::Institutional:
            return "institutional claims";
        case FileKind::Dental:
            return "dental claims";
        default:
            return "";
    }
}

}  // namespace

const RuleInfo& ruleInfo(Rule rule) { return table().rules[std::size_t(rule)]; }

std::string elementAnswer(std::string_view code) {
    return answer("999: IK3 segment error 8 (Segment Has Data Element Errors), IK4 element error ",
                  code, wordsOf(kElementWords, code));
}
std::string segmentAnswer(std::string_view code) {
    return answer("999: IK3 segment error ", code, wordsOf(kSegmentWords, code));
}
std::string interchangeAnswer(std::string_view code) {
    return answer("TA1: interchange rejected, note ", code, wordsOf(kInterchangeWords, code));
}
std::string claimAnswer(std::string_view status, std::string_view words) {
    return answer("277CA: claim rejected, status ", status, words);
}

std::string_view ruleCode(Rule rule) { return ruleInfo(rule).code; }

std::string_view kindName(FileKind kind) {
    switch (kind) {
        case FileKind::Professional:
            return "837P";
        case FileKind::Institutional:
            return "837I";
        case FileKind::Dental:
            return "837D";
        default:
            return "";
    }
}

std::string elementReference(const Finding& f) {
    if (f.element <= 0) return f.segment;
    char buf[24];
    if (f.component > 0)
        std::snprintf(buf, sizeof buf, "%02d-%d", f.element % 100, f.component % 100);
    else
        std::snprintf(buf, sizeof buf, "%02d", f.element % 100);
    return f.segment + buf;
}

std::string findingLine(const Finding& f) {
    std::string out;
    const auto part = [&](const std::string& text) {
        if (!text.empty()) out += (out.empty() ? "" : ", ") + text;
    };
    part(f.claim.empty() ? std::string() : "claim " + f.claim);
    part(f.patient.empty() ? std::string() : "patient " + f.patient);
    part(f.serviceLine > 0 ? "service line " + std::to_string(f.serviceLine) : std::string());
    part(f.loop.empty() ? std::string() : "loop " + f.loop);
    part(element(f) + (f.value.empty() ? std::string() : " \"" + f.value + "\""));
    return out + ": " + f.problem;
}

std::string firstProblem(const CheckReport& report) {
    for (const Finding& f : report.findings)
        if (f.severity == Severity::Error) return findingLine(f);
    return {};
}

std::string findingsText(const CheckReport& r, std::string_view fileName,
                         std::string_view lineEnd) {
    const std::string nl(lineEnd);
    std::string out = "ZOD claim file check of " + std::string(fileName) + nl;
    if (r.kind == FileKind::NotChecked) return out + "Not checked: " + r.notChecked + "." + nl;
    if (r.kind != FileKind::Unreadable)
        out += "File: " + std::string(kindName(r.kind)) + " (" + std::string(kindWords(r.kind)) +
               ", guide " + r.guide + "), " + plural(r.claims, "claim") + " in " +
               plural(r.transactions, "transaction set") + ", " + plural(r.segments, "segment") +
               "." + nl;
    if (r.errors == 0 && r.warnings == 0) return out + "Result: no problems found." + nl;
    out += "Result: " +
           (r.errors > 0 ? plural(r.errors, "error") + ": ZOD would reject this file"
                         : std::string("no errors: ZOD would take this file")) +
           (r.warnings > 0 ? "; " + plural(r.warnings, "warning") + " (would not reject)" : "") +
           "." + nl;
    std::size_t n = 0;
    for (const Finding& f : r.findings) {
        out += nl + std::to_string(++n) + ". " +
               (f.severity == Severity::Error ? "Error" : "Warning") + " (" +
               std::string(ruleCode(f.rule)) + ")" + nl;
        if (const std::string w = whose(f); !w.empty()) out += "   Claim:      " + w + nl;
        if (const std::string w = where(f); !w.empty()) out += "   Where:      " + w + nl;
        if (f.element > 0)
            out += "   Element:    " + element(f) +
                   (f.value.empty() ? " (empty)" : " = \"" + f.value + "\"") + nl;
        out += "   Problem:    " + f.problem + nl;
        if (!f.action.empty()) out += "   What to do: " + f.action + nl;
        if (!f.answer.empty()) out += "   ZOD would answer: " + f.answer + nl;
    }
    if (r.findingsLeftOut > 0)
        out += nl + "Only the first " + plural(std::int64_t(r.findings.size()), "finding") +
               " are listed; " + std::to_string(r.findingsLeftOut) + " more were found." + nl;
    return out;
}

std::string findingsJson(const CheckReport& r, std::string_view fileName) {
    std::string out = "{\"file\":" + jsonString(fileName) +
                      ",\"kind\":" + jsonString(kindName(r.kind)) +
                      ",\"checked\":" + (r.kind == FileKind::NotChecked ? "false" : "true");
    if (!r.notChecked.empty()) out += ",\"notChecked\":" + jsonString(r.notChecked);
    out += ",\"guide\":" + jsonString(r.guide) + ",\"segments\":" + std::to_string(r.segments) +
           ",\"transactions\":" + std::to_string(r.transactions) +
           ",\"claims\":" + std::to_string(r.claims) +
           ",\"serviceLines\":" + std::to_string(r.serviceLines) +
           ",\"errors\":" + std::to_string(r.errors) +
           ",\"warnings\":" + std::to_string(r.warnings) +
           ",\"findingsLeftOut\":" + std::to_string(r.findingsLeftOut) + ",\"findings\":[";
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
        const Finding& f = r.findings[i];
        out += std::string(i ? "," : "") +
               "{\"severity\":" + (f.severity == Severity::Error ? "\"error\"" : "\"warning\"") +
               ",\"rule\":" + jsonString(ruleCode(f.rule)) + ",\"claim\":" + jsonString(f.claim) +
               ",\"patient\":" + jsonString(f.patient) +
               ",\"transaction\":" + jsonString(f.transaction) + ",\"loop\":" + jsonString(f.loop) +
               ",\"loopName\":" + jsonString(f.loopName) + ",\"segment\":" + jsonString(f.segment) +
               ",\"segmentNumber\":" + std::to_string(f.segmentNumber) +
               ",\"element\":" + jsonString(f.element > 0 ? elementReference(f) : "") +
               ",\"elementName\":" + jsonString(f.elementName) +
               ",\"value\":" + jsonString(f.value) +
               ",\"serviceLine\":" + std::to_string(f.serviceLine) +
               ",\"problem\":" + jsonString(f.problem) + ",\"action\":" + jsonString(f.action) +
               ",\"answer\":" + jsonString(f.answer) + "}";
    }
    return out + "]}";
}

}  // namespace zv::x12::check
