// libFuzzer entry point for the claim checker: whatever the bytes, it ends with a report
// whose counts agree with its findings, within the cap, and the report formats.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "x12/claim_check.h"

using namespace zv::x12::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckOptions options{{2026, 5, 12}};
    options.maxFindings = 20;
    const CheckReport r = checkClaimFile(input, options);
    const char* problem = nullptr;
    if (r.findings.size() > options.maxFindings) problem = "more findings kept than the cap";
    if (std::int64_t(r.findings.size()) + r.findingsLeftOut != r.errors + r.warnings)
        problem = "counts differ from the findings";
    if (r.kind == FileKind::NotChecked && (r.notChecked.empty() || !r.findings.empty()))
        problem = "a file not checked without a reason, or with findings";
    for (const Finding& f : r.findings)
        if (f.problem.empty() || ruleCode(f.rule).empty()) problem = "a finding without words";
    if (r.hasErrors() && firstProblem(r).empty()) problem = "errors without a first problem";
    const std::string json = findingsJson(r, "fuzz");
    if (json.empty() || json.front() != '{' || json.back() != '}') problem = "JSON not an object";
    if (findingsText(r, "fuzz").empty()) problem = "no text";
    if (problem) {
        std::fprintf(stderr, "%s\n", problem);
        std::abort();
    }
    return 0;
}
