#pragma once
// Values the claim checker reads and judges on their own: dates and times, amounts in
// cents, the NPI's check digit and the Medicare beneficiary identifier's format.
#include <cstdint>
#include <optional>
#include <string_view>

#include "x12/claim_check.h"

namespace zv::x12::check {

bool isDigits(std::string_view value);

// CCYYMMDD (or YYMMDD, taken as 20YY, for the ISA) as a real calendar date.
std::optional<Date> parseDate(std::string_view value);
// HHMM, HHMMSS or HHMMSSd..d with hours below 24 and minutes and seconds below 60.
bool isTime(std::string_view value);
// Days since 1970-01-01 (negative before): for comparing and subtracting dates.
std::int64_t dayNumber(const Date& date);
bool operator<(const Date& a, const Date& b);
std::string formatDate(const Date& date);  // MM/DD/CCYY, as billing staff write dates

// A date period as its format qualifier says (D8, RD8, DT, TM): the dates it holds, the
// second equal to the first when it is a single date. Empty when the value does not have
// the format, or the range runs backwards.
struct Period {
    Date first, last;
};
std::optional<Period> parsePeriod(std::string_view format, std::string_view value);
// Whether `format` is a date format this checker reads (and so checks the value of).
bool isDateFormat(std::string_view format);

// An amount of type R ("150", "150.5", "-20.00") in exact cents; empty when it is not a
// number or holds fractions of a cent.
std::optional<std::int64_t> parseCents(std::string_view value);
std::string formatCents(std::int64_t cents);  // "$1,234.50"

// An NPI: ten digits whose last is the Luhn check digit over "80840" and the first nine.
bool isValidNpi(std::string_view npi);
// The published format of a Medicare beneficiary identifier: 11 characters, digit 1-9,
// letter, letter or digit, digit, letter, letter or digit, digit, letter, letter, digit,
// digit; letters A-Z without S, L, O, I, B and Z.
bool isMedicareBeneficiaryId(std::string_view id);

}  // namespace zv::x12::check
