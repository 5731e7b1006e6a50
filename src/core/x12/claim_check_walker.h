#pragma once
// The claim checker's one pass: the envelope (claim_check.cpp), the guide's loops and the
// elements' syntax (claim_check_structure.cpp), and what the content of claims must say
// (claim_check_content.cpp). Its state is a handful of values per open loop, claim and
// line, so memory does not grow with the file.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "x12/claim_check.h"
#include "x12/claim_check_findings.h"
#include "x12/claim_check_guides.h"
#include "x12/claim_check_tokens.h"

namespace zv::x12::check {

// A loop being read: how far into its items, and how often each occurred.
struct OpenLoop {
    static constexpr std::size_t kMaxItems = 40;
    const LoopDef* def = nullptr;
    std::uint16_t pos = 0;
    std::array<std::uint16_t, kMaxItems> counts{};
};

// What the claim's other payers (2320/2330B) and their line adjudications (2430) said.
struct OtherPayer {
    std::string id;  // 2330B NM109
    std::optional<std::int64_t> paid;
    std::int64_t claimAdjustments = 0, lineAdjustments = 0;
    bool adjudicated = false;  // has a CAS or a 2430
    bool amountsRead = true;   // every amount was a number
};

struct ClaimState {
    std::string id;
    std::int64_t segment = 0;  // of its CLM
    std::optional<std::int64_t> charge;
    std::int64_t lineCharges = 0;
    bool linesRead = true;  // every line charge was a number
    int diagnoses = 0;
    bool dateOfService = false;
    std::vector<OtherPayer> payers;  // at most 10, as the guide allows
    // Ready for the next claim; the payers' storage is kept.
    void reset() {
        id.clear();
        segment = 0;
        charge.reset();
        lineCharges = 0;
        linesRead = true;
        diagnoses = 0;
        dateOfService = false;
        payers.clear();
    }
};

struct LineState {
    int number = 0;
    std::int64_t lineSegment = 0, adjudicationSegment = 0;  // of its SV1/SV2/SV3 and SVD
    std::optional<std::int64_t> charge;
    bool dateOfService = false;
    // The 2430 being read.
    int payer = -1;
    std::optional<std::int64_t> paid;
    std::int64_t adjustments = 0;
    bool bundled = false, amountsRead = true;
};

class Walker {
public:
    Walker(const CheckOptions& options, CheckReport& report) : options_(options), report_(report) {}
    void run(std::string_view data);

private:
    // Envelope.
    std::size_t interchange(std::string_view data, std::size_t start, const IsaHeader& header);
    void envelopeSegment();
    void endInterchange();
    void endGroupWithTrailer();
    void checkIsa(const IsaHeader& header);
    void beginGroup();
    void endGroup();
    void beginTransaction();
    void endTransaction(bool trailer);
    void envelopeCount(Rule rule, int element, std::int64_t counted, const char* what);

    // Structure.
    void transactionSegment();
    void place(const SegmentDef& def);
    void closeLoop();
    void closeLoopsTo(std::size_t depth);
    void openLoop(const LoopDef* def);
    void checkElements(const SegmentDef& def, const Item* item);
    void checkElement(const ValueDef& def, int element);
    void checkComposite(const ValueDef& def, int element, std::string_view value);
    void checkValueAt(const ValueDef& def, int element, int component, std::string_view value);
    void checkRules(const Item& item);
    // Whether the guide's rules for the segment being read require the element.
    bool requiredByGuide(int element) const;

    // Content.
    void content(const LoopDef& loop);
    void onLoopOpened(const LoopDef& loop);
    void onLoopClosed(const OpenLoop& open);
    void hierarchy();
    void subscriber();
    void name(const LoopDef& loop);
    void address(const LoopDef& loop);
    void cityStateZip(const LoopDef& loop);
    void datePeriod();
    void birthDate(int format, int value);
    void diagnoses();
    void serviceLine();
    void tooth();
    void adjustments(const LoopDef& loop);
    void lineAdjudication();
    void claimClosed();
    void lineAdjudicationClosed();

    // Findings: null when the cap is reached (the finding is only counted then).
    Finding* add(Rule rule, int element = 0, int component = 0);
    Finding* addAt(Rule rule, int element, int component, std::string_view value);
    // A finding about a segment read before, at a loop's end (balancing, hierarchy).
    Finding* addRemembered(Rule rule, std::string_view segment, std::int64_t number, int element,
                           std::string_view value);
    void describe(Finding& f, int element, int component) const;
    const LoopDef* currentLoop() const { return stack_.empty() ? nullptr : stack_.back().def; }

    const CheckOptions& options_;
    CheckReport& report_;
    Segment seg_;
    std::array<std::uint8_t, 256> classes_{};
    Separators separators_;

    // Envelope state.
    enum class Level { Interchange, Group, Transaction } level_ = Level::Interchange;
    std::string isa13_, groupNumber_, transactionNumber_;
    std::int64_t groups_ = 0, transactions_ = 0, segmentNumber_ = 0;
    const Guide* guide_ = nullptr;          // of the group being read; null when it is not checked
    const LoopDef* findingLoop_ = nullptr;  // the loop findings name, when not the current one

    // Structure and content state.
    std::vector<OpenLoop> stack_;
    const Item* item_ = nullptr;  // the guide's item of the segment being read, when it has one
    std::int64_t hlCount_ = 0;
    std::string billingHl_, subscriberHl_, subscriberChildCode_, filing_, otherFiling_;
    std::int64_t subscriberSegment_ = 0;
    bool subscriberHasPatient_ = false;
    std::string patient_;
    ClaimState claim_;
    bool inClaim_ = false;
    LineState line_;
    bool inLine_ = false;
};

}  // namespace zv::x12::check
