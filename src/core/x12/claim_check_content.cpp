// What the content of a claim must say beyond its syntax: the HL hierarchy, situational
// segments and elements, addresses, dates, identifiers and the claim's balancing.
#include <algorithm>

#include "x12/claim_check_values.h"
#include "x12/claim_check_walker.h"

namespace zv::x12::check {
namespace {

constexpr int kDaysInYear = 365;

bool isOneOf(std::string_view v, std::initializer_list<std::string_view> codes) {
    return std::find(codes.begin(), codes.end(), v) != codes.end();
}

// "LAST, FIRST" as billing staff look a patient up.
std::string personName(std::string_view last, std::string_view first) {
    std::string out = shownValue(last);
    if (!first.empty()) out += ", " + shownValue(first);
    return out;
}

// A post office or lock box, however it is spelt ("P.O. Box", "PO BOX", "Lockbox"), but not
// the end of a word ("Hippo Box Road").
bool isPostOfficeBox(std::string_view line) {
    std::string squeezed;
    for (const char c : line)
        if (c != ' ' && c != '.') squeezed += char(c >= 'a' && c <= 'z' ? c - 32 : c);
    for (const std::string_view box : {"POBOX", "POSTOFFICEBOX", "LOCKBOX"})
        for (std::size_t at = squeezed.find(box); at != std::string::npos;
             at = squeezed.find(box, at + 1))
            if (at == 0 || squeezed[at - 1] < 'A' || squeezed[at - 1] > 'Z') return true;
    return false;
}

// A tooth in the Universal National Tooth Designation: 1-32 and A-T, supernumerary 51-82
// and AS-TS.
bool isUniversalTooth(std::string_view t) {
    if (isDigits(t) && t.size() <= 2) {
        const int n = std::stoi(std::string(t));
        return (n >= 1 && n <= 32) || (n >= 51 && n <= 82);
    }
    if (t.size() == 1) return t[0] >= 'A' && t[0] <= 'T';
    return t.size() == 2 && t[0] >= 'A' && t[0] <= 'T' && t[1] == 'S';
}

// ICD diagnosis and procedure qualifiers: their codes are sent without a decimal point.
bool isIcdQualifier(std::string_view q) {
    return isOneOf(q, {"ABK", "ABF", "ABJ", "APR", "ABN", "BBR", "BBQ", "BK", "BF", "BJ", "PR",
                       "BN", "BR", "BQ"});
}

}  // namespace

void Walker::content(const LoopDef& loop) {
    switch (seg_.key()) {
        case segmentKey("HL"):
            return hierarchy();
        case segmentKey("SBR"):
            return subscriber();
        case segmentKey("NM1"):
            return name(loop);
        case segmentKey("N3"):
            return address(loop);
        case segmentKey("N4"):
            return cityStateZip(loop);
        case segmentKey("DTP"):
            return datePeriod();
        case segmentKey("DMG"):
            return birthDate(1, 2);
        case segmentKey("PAT"):
            return birthDate(5, 6);
        case segmentKey("HI"):
            return diagnoses();
        case segmentKey("SV1"):
        case segmentKey("SV2"):
        case segmentKey("SV3"):
            return serviceLine();
        case segmentKey("TOO"):
            return tooth();
        case segmentKey("CAS"):
            return adjustments(loop);
        case segmentKey("SVD"):
            return lineAdjudication();
        case segmentKey("AMT"):
            if (loop.tag == LoopTag::OtherSubscriber && seg_.element(1) == "D" &&
                !claim_.payers.empty())
                claim_.payers.back().paid = parseCents(seg_.element(2));
            return;
        default:
            return;
    }
}

void Walker::onLoopOpened(const LoopDef& loop) {
    switch (loop.tag) {
        case LoopTag::Subscriber:
            patient_.clear();
            subscriberHasPatient_ = false;
            break;
        case LoopTag::Patient:
            subscriberHasPatient_ = true;
            patient_.clear();
            if (subscriberChildCode_ == "0")
                if (Finding* f = add(Rule::HierarchyChild, 2))
                    f->problem =
                        "A patient level follows a subscriber level whose child code "
                        "(HL04) is 0, which says that no patient level follows.";
            break;
        case LoopTag::Claim:
            ++report_.claims;
            claim_.reset();
            claim_.id = shownValue(seg_.element(1));
            claim_.segment = segmentNumber_;
            claim_.charge = parseCents(seg_.element(2));
            inClaim_ = true;
            break;
        case LoopTag::OtherSubscriber:
            if (claim_.payers.size() < 10) claim_.payers.emplace_back();
            break;
        case LoopTag::ServiceLine:
            ++report_.serviceLines;
            line_ = LineState();
            line_.number = isDigits(seg_.element(1)) && seg_.element(1).size() < 7
                               ? std::stoi(std::string(seg_.element(1)))
                               : 0;
            inLine_ = true;
            break;
        case LoopTag::LineAdjudication:
            line_.payer = -1;
            line_.paid.reset();
            line_.adjustments = 0;
            line_.bundled = false;
            line_.amountsRead = true;
            line_.adjudicationSegment = segmentNumber_;
            break;
        default:
            break;
    }
}

void Walker::onLoopClosed(const OpenLoop& open) {
    switch (open.def->tag) {
        case LoopTag::Subscriber:
            patient_.clear();
            if (subscriberChildCode_ == "1" && !subscriberHasPatient_)
                if (Finding* f =
                        addRemembered(Rule::HierarchyChild, "HL", subscriberSegment_, 4, "1"))
                    f->problem =
                        "The subscriber level's child code (HL04) is 1, which says that a "
                        "patient level follows, but none does.";
            break;
        case LoopTag::SubscriberName:
            // The subscriber is the patient: the guide then needs the address and demographics.
            if (subscriberChildCode_ != "0") break;
            for (std::size_t i = 1; i <= 3; ++i)
                if (open.counts[i] == 0)
                    if (Finding* f = addAt(Rule::SituationalSegmentMissing, 0, 0, {})) {
                        f->segment = open.def->items[i].segment->id;
                        f->problem =
                            "The subscriber is the patient (HL04 is 0), so the guide requires "
                            "the segment " +
                            f->segment + " " +
                            withEntity(open.def->items[i].segment->title, "Subscriber") +
                            ", but it is missing.";
                    }
            break;
        case LoopTag::Claim:
            claimClosed();
            inClaim_ = false;
            break;
        case LoopTag::ServiceLine:
            if (guide_->kind == FileKind::Dental && !line_.dateOfService && !claim_.dateOfService)
                if (Finding* f = addAt(Rule::SituationalSegmentMissing, 0, 0, {})) {
                    f->segment = "DTP";
                    f->problem =
                        "The service line has no date of service (DTP*472), and neither "
                        "has its claim.";
                }
            inLine_ = false;
            break;
        case LoopTag::LineAdjudication:
            lineAdjudicationClosed();
            break;
        default:
            break;
    }
}

void Walker::hierarchy() {
    ++hlCount_;
    const std::string_view id = seg_.element(1), parent = seg_.element(2), code = seg_.element(3);
    std::int64_t n = 0;
    for (const char c : id)
        n = c >= '0' && c <= '9' && n < (std::int64_t(1) << 40) ? n * 10 + (c - '0') : -1;
    if (n != hlCount_ || id.front() == '0')
        if (Finding* f = add(Rule::HierarchyNumber, 1))
            f->problem =
                "The levels of a transaction are numbered 1, 2, 3... in order: this one "
                "should be " +
                std::to_string(hlCount_) + ".";
    const auto parentMustBe = [&](const std::string& expected, const char* whose) {
        if (parent == expected) return;
        if (Finding* f = add(Rule::HierarchyParent, 2))
            f->problem = expected.empty()
                             ? std::string("A billing provider level has no parent level.")
                             : "The parent (HL02) must be the " + std::string(whose) +
                                   " level above it, " + shownValue(expected) + ".";
    };
    if (code == "20") {
        parentMustBe("", "");
        billingHl_ = std::string(id);
    } else if (code == "22") {
        parentMustBe(billingHl_, "billing provider");
        subscriberHl_ = std::string(id);
        subscriberChildCode_ = std::string(seg_.element(4));
        subscriberSegment_ = segmentNumber_;
    } else if (code == "23") {
        parentMustBe(subscriberHl_, "subscriber");
    }
}

void Walker::subscriber() {
    const LoopDef* loop = currentLoop();
    if (loop->tag == LoopTag::OtherSubscriber) {
        otherFiling_ = std::string(seg_.element(9));
        return;
    }
    filing_ = std::string(seg_.element(9));
    if (subscriberChildCode_ == "0" && seg_.element(2).empty()) {
        if (Finding* f = add(Rule::SituationalElementMissing, 2))
            f->problem =
                "The subscriber is the patient (HL04 is 0), so the guide requires the "
                "relationship code 18 (self) here.";
    } else if (subscriberChildCode_ == "1" && !seg_.element(2).empty()) {
        if (Finding* f = add(Rule::SituationalElementPresent, 2))
            f->problem =
                "The patient is not the subscriber (a patient level follows), so the "
                "guide says to leave this element out.";
    }
}

void Walker::name(const LoopDef& loop) {
    const std::string_view qualifier = seg_.element(8), id = seg_.element(9);
    const int missing = qualifier.empty() ? 8 : 9;
    if (qualifier.empty() != id.empty() && !requiredByGuide(missing))
        if (Finding* f = add(Rule::ElementConditionMissing, missing))
            f->problem = "NM108 and NM109 go together: one of them is empty.";
    if (qualifier == "XX" && !id.empty() && !isValidNpi(id))
        if (Finding* f = add(Rule::NpiCheckDigit, 9)) {
            f->problem =
                isDigits(id) && id.size() == 10
                    ? "This NPI is not valid: its last digit is not the check digit of the "
                      "other nine, so a digit is wrong or two are swapped."
                    : "An NPI has exactly 10 digits.";
            f->answer = claimAnswer("A7:562:" + shownValue(seg_.element(1)),
                                    "Entity's National Provider Identifier (NPI)");
        }
    switch (loop.tag) {
        case LoopTag::SubscriberName:
        case LoopTag::OtherSubscriberName: {
            if (loop.tag == LoopTag::SubscriberName)
                patient_ = personName(seg_.element(3), seg_.element(4));
            const std::string& filing =
                loop.tag == LoopTag::SubscriberName ? filing_ : otherFiling_;
            if (qualifier == "MI" && !id.empty() && (filing == "MA" || filing == "MB") &&
                !isMedicareBeneficiaryId(id))
                if (Finding* f = add(Rule::MedicareIdFormat, 9)) {
                    f->problem = "The payer is Medicare (SBR09 " + filing +
                                 "), but this is not a Medicare Beneficiary Identifier (MBI): 11 "
                                 "letters and digits in its published pattern, no dashes.";
                }
            break;
        }
        case LoopTag::PatientName:
            patient_ = personName(seg_.element(3), seg_.element(4));
            break;
        case LoopTag::OtherPayerName:
            if (!claim_.payers.empty()) claim_.payers.back().id = std::string(id);
            break;
        default:
            break;
    }
}

void Walker::address(const LoopDef& loop) {
    if (!loop.streetAddress) return;
    for (int e = 1; e <= 2; ++e)
        if (isPostOfficeBox(seg_.element(e)))
            if (Finding* f = add(Rule::StreetAddress, e))
                f->problem =
                    "The billing provider's address must be a street address; a post "
                    "office box or lock box goes in the pay-to address (loop 2010AB).";
}

void Walker::cityStateZip(const LoopDef& loop) {
    if (!seg_.element(4).empty()) return;  // outside the United States
    for (int e = 2; e <= 3; ++e)
        if (seg_.element(e).empty())
            if (Finding* f = add(Rule::SituationalElementMissing, e))
                f->problem = "A US address needs its state and ZIP code.";
    const std::string_view zip = seg_.element(3);
    if (zip.empty()) return;
    if (!isDigits(zip) || (zip.size() != 5 && zip.size() != 9)) {
        if (Finding* f = add(Rule::ZipCode, 3))
            f->problem = "A US ZIP code has 5 or 9 digits, nothing else.";
    } else if (loop.nineDigitZip && zip.size() != 9) {
        if (Finding* f = add(Rule::ZipCode, 3))
            f->problem = "This address needs the full nine-digit ZIP code (ZIP+4).";
    }
}

void Walker::datePeriod() {
    const std::string_view qualifier = seg_.element(1), format = seg_.element(2),
                           value = seg_.element(3);
    if (!isDateFormat(format) || value.empty()) return;
    const std::optional<Period> p = parsePeriod(format, value);
    if (!p) {
        if (Finding* f = add(Rule::ElementBadDate, 3))
            f->problem = format == "RD8" ? "This is not a valid date range CCYYMMDD-CCYYMMDD whose "
                                           "first date is not after the second."
                         : format == "DT" ? "This is not a valid date and time CCYYMMDDHHMM."
                         : format == "TM" ? "This is not a valid time HHMM."
                                          : "This is not a valid date CCYYMMDD.";
        return;
    }
    if (format == "TM" || (qualifier != "472" && qualifier != "434")) return;
    (inLine_ ? line_.dateOfService : claim_.dateOfService) = true;
    if (options_.today < p->last) {
        if (Finding* f = add(Rule::ServiceDateFuture, 3))
            f->problem = "The date of service " + formatDate(p->last) + " is after today (" +
                         formatDate(options_.today) + ").";
    } else if (dayNumber(p->first) + kDaysInYear < dayNumber(options_.today)) {
        if (Finding* f = add(Rule::ServiceDateOld, 3))
            f->problem = "The date of service " + formatDate(p->first) +
                         " is more than a year ago: many payers refuse claims filed that late.";
    }
}

void Walker::birthDate(int format, int value) {
    const std::string_view v = seg_.element(value);
    if (seg_.element(format) != "D8" || v.empty()) return;
    const std::optional<Date> d = v.size() == 8 ? parseDate(v) : std::nullopt;
    if (!d) {
        if (Finding* f = add(Rule::ElementBadDate, value))
            f->problem = "This is not a valid date CCYYMMDD.";
    } else if (seg_.key() == segmentKey("DMG") && options_.today < *d) {
        if (Finding* f = add(Rule::BirthDate, value))
            f->problem = "The date of birth " + formatDate(*d) + " is after today.";
    }
}

void Walker::diagnoses() {
    for (int e = 1; e <= seg_.count() && e <= 12; ++e) {
        const std::string_view el = seg_.element(e);
        const std::string_view q = component(el, 1, separators_.component);
        const std::string_view code = component(el, 2, separators_.component);
        if (isOneOf(q, {"ABK", "ABF", "BK", "BF"})) ++claim_.diagnoses;
        if (isIcdQualifier(q) && code.find('.') != std::string_view::npos)
            if (Finding* f = addAt(Rule::DiagnosisFormat, e, 2, code))
                f->problem = "ICD codes are sent without the decimal point (J449, not J44.9).";
        const std::string_view format = component(el, 3, separators_.component);
        const std::string_view period = component(el, 4, separators_.component);
        if ((format == "D8" || format == "RD8") && !parsePeriod(format, period))
            if (Finding* f = addAt(Rule::ElementBadDate, e, 4, period))
                f->problem =
                    "This is not a valid date as the format " + std::string(format) + " says.";
    }
}

void Walker::serviceLine() {
    const bool institutional = seg_.key() == segmentKey("SV2");
    const int chargeAt = institutional ? 3 : 2;
    line_.charge = parseCents(seg_.element(chargeAt));
    line_.lineSegment = segmentNumber_;
    if (line_.charge && claim_.linesRead && std::abs(claim_.lineCharges) < (std::int64_t(1) << 60))
        claim_.lineCharges += *line_.charge;
    else
        claim_.linesRead = false;
    if (institutional) {
        const std::string_view revenue = seg_.element(1);
        if (!revenue.empty() && (revenue.size() != 4 || !isDigits(revenue)))
            if (Finding* f = add(Rule::RevenueCode, 1))
                f->problem = "A revenue code has four digits (0450, not 450).";
        return;
    }
    const bool dental = seg_.key() == segmentKey("SV3");
    const std::string_view pointers = seg_.element(dental ? 11 : 7);
    for (int c = 1; c <= 4; ++c) {
        const std::string_view p = component(pointers, c, separators_.component);
        if (!isDigits(p) || p.size() > 2) continue;
        const int n = std::stoi(std::string(p));
        if (n < 1 || n > claim_.diagnoses)
            if (Finding* f = addAt(Rule::DiagnosisPointer, dental ? 11 : 7, c, p))
                f->problem = "The pointer " + std::to_string(n) +
                             " names no diagnosis: the claim has " +
                             std::to_string(claim_.diagnoses) + " diagnosis code" +
                             (claim_.diagnoses == 1 ? "" : "s") + ".";
    }
    const std::string_view procedure = component(seg_.element(1), 2, separators_.component);
    if (dental && component(seg_.element(1), 1, separators_.component) == "AD" &&
        !procedure.empty() &&
        (procedure.size() != 5 || procedure[0] != 'D' || !isDigits(procedure.substr(1))))
        if (Finding* f = addAt(Rule::ProcedureCodeFormat, 1, 2, procedure))
            f->problem = "A CDT procedure code is D and four digits (D0120).";
}

void Walker::tooth() {
    if (seg_.element(1) != "JP" || seg_.element(2).empty() || isUniversalTooth(seg_.element(2)))
        return;
    if (Finding* f = add(Rule::ToothCode, 2))
        f->problem =
            "This is not a tooth of the Universal National Tooth Designation (1 to 32, "
            "A to T, supernumerary 51 to 82 and AS to TS).";
}

void Walker::adjustments(const LoopDef& loop) {
    std::int64_t sum = 0;
    bool read = true;
    for (int e = 3; e <= 18; e += 3) {
        if (seg_.element(e).empty()) continue;
        const auto cents = parseCents(seg_.element(e));
        read = read && cents;
        sum += cents.value_or(0);
    }
    if (loop.tag == LoopTag::OtherSubscriber && !claim_.payers.empty()) {
        OtherPayer& p = claim_.payers.back();
        p.claimAdjustments += sum;
        p.adjudicated = true;
        p.amountsRead = p.amountsRead && read;
    } else if (loop.tag == LoopTag::LineAdjudication) {
        line_.adjustments += sum;
        line_.amountsRead = line_.amountsRead && read;
        if (line_.payer >= 0) {
            OtherPayer& p = claim_.payers[std::size_t(line_.payer)];
            p.lineAdjustments += sum;
            p.amountsRead = p.amountsRead && read;
        }
    }
}

void Walker::lineAdjudication() {
    for (std::size_t i = 0; i < claim_.payers.size(); ++i)
        if (claim_.payers[i].id == seg_.element(1)) line_.payer = int(i);
    line_.paid = parseCents(seg_.element(2));
    line_.bundled = !seg_.element(6).empty();
    if (line_.payer >= 0) claim_.payers[std::size_t(line_.payer)].adjudicated = true;
}

void Walker::claimClosed() {
    if (!claim_.charge) return;
    const std::int64_t charge = *claim_.charge;
    if (claim_.linesRead && claim_.lineCharges != charge)
        if (Finding* f =
                addRemembered(Rule::ClaimBalance, "CLM", claim_.segment, 2, formatCents(charge))) {
            f->problem = "The claim's total charge " + formatCents(charge) +
                         " is not the sum of its service lines' charges, " +
                         formatCents(claim_.lineCharges) + ".";
        }
    for (const OtherPayer& p : claim_.payers) {
        if (!p.paid || !p.adjudicated || !p.amountsRead) continue;
        const std::int64_t expected = charge - p.claimAdjustments - p.lineAdjustments;
        if (*p.paid == expected) continue;
        if (Finding* f = addRemembered(Rule::ClaimPayerBalance, "CLM", claim_.segment, 2,
                                       formatCents(charge))) {
            f->problem = "The other payer " + shownValue(p.id) + " paid " + formatCents(*p.paid) +
                         " (AMT*D), but the charge less its adjustments (CAS) comes to " +
                         formatCents(expected) + ".";
        }
    }
}

void Walker::lineAdjudicationClosed() {
    if (!line_.charge || !line_.paid || line_.bundled || !line_.amountsRead) return;
    if (*line_.charge == *line_.paid + line_.adjustments) return;
    if (Finding* f = addRemembered(Rule::LinePayerBalance, "SVD", line_.adjudicationSegment, 2,
                                   formatCents(*line_.paid))) {
        f->problem = "The line's charge " + formatCents(*line_.charge) +
                     " is not what the other payer paid (" + formatCents(*line_.paid) +
                     ") plus its adjustments (CAS, " + formatCents(line_.adjustments) + ").";
    }
}

Finding* Walker::addRemembered(Rule rule, std::string_view segment, std::int64_t number,
                               int element, std::string_view value) {
    Finding* f = addAt(rule, 0, 0, {});
    if (!f) return nullptr;
    f->segment = std::string(segment);
    f->segmentNumber = number;
    f->element = element;
    f->value = std::string(value);
    if (const SegmentDef* def = findSegment(segmentKey(segment));
        def && element <= int(def->elements.size()))
        f->elementName = withEntity(def->elements[std::size_t(element - 1)].name, "");
    return f;
}

void Walker::describe(Finding& f, int element, int component) const {
    const bool inTransaction = level_ == Level::Transaction;
    const LoopDef* loop = findingLoop_ ? findingLoop_ : currentLoop();
    const SegmentDef* def = findSegment(seg_.key());
    const std::string_view entity = inTransaction && loop ? std::string_view(loop->entity) : "";
    f.segment = std::string(seg_.id());
    f.segmentNumber = inTransaction ? segmentNumber_ : 0;
    f.transaction = inTransaction ? transactionNumber_ : std::string();
    f.element = element;
    f.component = component;
    if (inTransaction && loop && !loop->id.empty()) {
        f.loop = loop->id;
        f.loopName = loop->name;
    } else if (def) {
        f.loopName = withEntity(def->title, "");
    }
    if (def && element > 0 && element <= int(def->elements.size())) {
        const ValueDef& e = def->elements[std::size_t(element - 1)];
        const bool inside = component > 0 && component <= int(e.components.size());
        f.elementName =
            withEntity(inside ? e.components[std::size_t(component - 1)].name : e.name, entity);
    }
    if (inTransaction) {
        f.patient = patient_;
        if (inClaim_) f.claim = claim_.id;
        if (inLine_) f.serviceLine = line_.number;
    }
}

}  // namespace zv::x12::check
