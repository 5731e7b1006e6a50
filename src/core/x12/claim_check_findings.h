#pragma once
// What each rule of the claim checker is called, how grave it is, what ZOD's
// acknowledgement would answer and what staff can do about it.
#include <string>
#include <string_view>

#include "x12/claim_check.h"

namespace zv::x12::check {

struct RuleInfo {
    std::string_view code;  // stable name, for --json and tests
    Severity severity;
    std::string answer;       // what the acknowledgement would say, when the rule fixes it
    std::string_view action;  // what to do, when the finding does not say better
};

const RuleInfo& ruleInfo(Rule rule);

// 999 answers about one element or segment, TA1 and 277CA answers.
std::string elementAnswer(std::string_view code);      // IK403
std::string segmentAnswer(std::string_view code);      // IK304
std::string interchangeAnswer(std::string_view code);  // TA105
// A claim rejected by the claim acknowledgement: "A7:562:85" with its words.
std::string claimAnswer(std::string_view status, std::string_view words);

}  // namespace zv::x12::check
