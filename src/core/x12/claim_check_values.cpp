// Dates, amounts and identifiers as the claim checker judges them.
#include "x12/claim_check_values.h"

#include <cstdio>
#include <string>

namespace zv::x12::check {
namespace {

int digitsAt(std::string_view v, std::size_t at, std::size_t n) {
    int x = 0;
    for (std::size_t i = at; i < at + n; ++i) x = x * 10 + (v[i] - '0');
    return x;
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

bool isMbiLetter(char c) {
    return c >= 'A' && c <= 'Z' && c != 'S' && c != 'L' && c != 'O' && c != 'I' && c != 'B' &&
           c != 'Z';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool isDigits(std::string_view value) {
    if (value.empty()) return false;
    for (const char c : value)
        if (!isDigit(c)) return false;
    return true;
}

std::optional<Date> parseDate(std::string_view value) {
    if ((value.size() != 8 && value.size() != 6) || !isDigits(value)) return std::nullopt;
    const std::size_t y = value.size() - 4;
    Date d{value.size() == 8 ? digitsAt(value, 0, 4) : 2000 + digitsAt(value, 0, 2),
           digitsAt(value, y, 2), digitsAt(value, y + 2, 2)};
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month))
        return std::nullopt;
    return d;
}

bool isTime(std::string_view value) {
    if (value.size() < 4 || value.size() > 8 || value.size() == 5 || !isDigits(value)) return false;
    if (digitsAt(value, 0, 2) > 23 || digitsAt(value, 2, 2) > 59) return false;
    return value.size() < 6 || digitsAt(value, 4, 2) <= 59;
}

std::int64_t dayNumber(const Date& date) {
    // Days from civil (proleptic Gregorian), after H. Hinnant's algorithm.
    const int y = date.year - (date.month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (date.month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + date.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t(era) * 146097 + doe - 719468;
}

bool operator<(const Date& a, const Date& b) { return dayNumber(a) < dayNumber(b); }

std::string formatDate(const Date& d) {
    char out[16];
    std::snprintf(out, sizeof out, "%02d/%02d/%04d", d.month % 100, d.day % 100, d.year % 10000);
    return out;
}

bool isDateFormat(std::string_view format) {
    return format == "D8" || format == "RD8" || format == "DT" || format == "TM";
}

std::optional<Period> parsePeriod(std::string_view format, std::string_view value) {
    if (format == "D8") {
        const auto d = value.size() == 8 ? parseDate(value) : std::nullopt;
        if (!d) return std::nullopt;
        return Period{*d, *d};
    }
    if (format == "RD8") {
        if (value.size() != 17 || value[8] != '-') return std::nullopt;
        const auto a = parseDate(value.substr(0, 8));
        const auto b = parseDate(value.substr(9));
        if (!a || !b || *b < *a) return std::nullopt;
        return Period{*a, *b};
    }
    if (format == "DT") {  // CCYYMMDDHHMM
        const auto d = value.size() == 12 ? parseDate(value.substr(0, 8)) : std::nullopt;
        if (!d || !isTime(value.substr(8))) return std::nullopt;
        return Period{*d, *d};
    }
    if (format == "TM") {  // a time alone: no date in it
        if (value.size() != 4 || !isTime(value)) return std::nullopt;
        return Period{};
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseCents(std::string_view value) {
    const bool negative = !value.empty() && value.front() == '-';
    if (negative) value.remove_prefix(1);
    const std::size_t dot = value.find('.');
    const std::string_view whole = value.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : value.substr(dot + 1);
    if (whole.size() + fraction.size() == 0 || whole.size() > 15) return std::nullopt;
    if ((!whole.empty() && !isDigits(whole)) || (!fraction.empty() && !isDigits(fraction)))
        return std::nullopt;
    std::int64_t cents = 0;
    for (const char c : whole) cents = cents * 10 + (c - '0');
    for (std::size_t i = 2; i < fraction.size(); ++i)
        if (fraction[i] != '0') return std::nullopt;  // fractions of a cent
    cents *= 100;
    if (fraction.size() > 0) cents += (fraction[0] - '0') * 10;
    if (fraction.size() > 1) cents += fraction[1] - '0';
    return negative ? -cents : cents;
}

std::string formatCents(std::int64_t cents) {
    const bool negative = cents < 0;
    const std::uint64_t c = negative ? 0 - std::uint64_t(cents) : std::uint64_t(cents);
    const std::string digits = std::to_string(c / 100);
    std::string out = negative ? "-$" : "$";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    char fraction[4];
    std::snprintf(fraction, sizeof fraction, "%02u", unsigned(c % 100));
    return out.append(".").append(fraction);
}

bool isValidNpi(std::string_view npi) {
    if (npi.size() != 10 || !isDigits(npi)) return false;
    // Luhn over the nine digits, doubling from the rightmost; 24 stands for the prefix 80840.
    int sum = 24;
    for (int i = 8; i >= 0; --i) {
        int d = npi[std::size_t(i)] - '0';
        if ((8 - i) % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return (10 - sum % 10) % 10 == npi[9] - '0';
}

bool isMedicareBeneficiaryId(std::string_view id) {
    // C A AN N A AN N A A N N
    static constexpr char kPattern[] = "CAMNAMNAANN";
    if (id.size() != 11) return false;
    for (std::size_t i = 0; i < 11; ++i) {
        const char c = id[i];
        const bool ok = kPattern[i] == 'C'   ? c >= '1' && c <= '9'
                        : kPattern[i] == 'N' ? isDigit(c)
                        : kPattern[i] == 'A' ? isMbiLetter(c)
                                             : isDigit(c) || isMbiLetter(c);
        if (!ok) return false;
    }
    return true;
}

}  // namespace zv::x12::check
