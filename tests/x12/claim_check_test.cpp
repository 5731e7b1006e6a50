// The claim checker: sound 837P, 837I and 837D files of many shapes raise nothing; each
// rule is broken once in a sound file and caught at the right segment and element.
#include "x12/claim_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "x12/claim_check_values.h"

using namespace zv::x12::check;

namespace {

const CheckOptions kToday{{2026, 5, 12}};

// A made-up practice (Maple Family Clinic) and its patients, as a billing program would
// write them. Charges are 50 + 25 * line dollars; another payer pays each line less $20
// (CAS CO-45) and $10 less on the claim (CAS PR-1).
struct Shape {
    FileKind kind = FileKind::Professional;
    int subscribers = 1;
    int patients = 0;  // per subscriber; 0: the subscriber is the patient
    int claims = 1;    // per patient
    int lines = 2;
    bool otherPayer = false, ambulance = false, anesthesia = false, medicare = false;
    std::string separators = "*:^~\n";  // element, component, repetition, segment, line end
};

class Builder {
public:
    explicit Builder(const Shape& s) : s_(s) {}

    std::string build() {
        const std::string guide = s_.kind == FileKind::Professional    ? "005010X222A1"
                                  : s_.kind == FileKind::Institutional ? "005010X223A2"
                                                                       : "005010X224A2";
        out_ =
            "ISA*00*          *00*          *ZZ*MAPLECLINIC    *ZZ*ZOD            "
            "*260510*0930*^*00501*000000101*0*P*:~\n";
        add("GS*HC*MAPLECLINIC*ZOD*20260510*0930*7*X*" + guide);
        add("ST*837*0001*" + guide);
        count_ = 1;
        for (const char* seg :
             {"BHT*0019*00*BATCH7*20260510*0930*CH", "NM1*41*2*MAPLE FAMILY CLINIC*****46*MAPLE01",
              "PER*IC*FRONT DESK*TE*5555550100", "NM1*40*2*ZOD CLEARINGHOUSE*****46*ZOD",
              "HL*1**20*1", "PRV*BI*PXC*207Q00000X",
              "NM1*85*2*MAPLE FAMILY CLINIC*****XX*1234567893", "N3*100 ELM STREET",
              "N4*SPRINGFIELD*IL*627041234", "REF*EI*371234567"})
            add(seg);
        int hl = 1;
        for (int sub = 0; sub < s_.subscribers; ++sub) {
            const int subscriberHl = ++hl;
            add("HL*" + std::to_string(subscriberHl) + "*1*22*" + (s_.patients ? "1" : "0"));
            add(std::string("SBR*P*") + (s_.patients ? "" : "18") + "*GRP100******" +
                (s_.medicare ? "MB" : "CI"));
            add("NM1*IL*1*DOE*JANE****MI*" +
                std::string(s_.medicare ? "1EG4TE5MK73" : "W10020030" + std::to_string(sub)));
            for (const char* seg : {"N3*12 OAK AVENUE", "N4*SPRINGFIELD*IL*62704",
                                    "DMG*D8*19800101*F", "NM1*PR*2*ACME HEALTH*****PI*ACME1"})
                add(seg);
            if (!s_.patients) claims();
            for (int p = 0; p < s_.patients; ++p) {
                add("HL*" + std::to_string(++hl) + "*" + std::to_string(subscriberHl) + "*23*0");
                for (const char* seg : {"PAT*19", "NM1*QC*1*DOE*JIMMY", "N3*12 OAK AVENUE",
                                        "N4*SPRINGFIELD*IL*62704", "DMG*D8*20150704*M"})
                    add(seg);
                claims();
            }
        }
        add("SE*" + std::to_string(count_ + 1) + "*0001");
        add("GE*1*7");
        add("IEA*1*000000101");
        return withSeparators(out_);
    }

private:
    void add(const std::string& segment) {
        out_ += segment + "~\n";
        ++count_;
    }

    void claims() {
        const bool P = s_.kind == FileKind::Professional, I = s_.kind == FileKind::Institutional;
        for (int c = 0; c < s_.claims; ++c) {
            int total = 0;
            for (int l = 1; l <= s_.lines; ++l) total += 50 + 25 * l;
            const std::string id = "PCN" + std::to_string(++claim_);
            add("CLM*" + id + "*" + std::to_string(total) +
                (I ? "***13:A:1**A*Y*Y" : "***11:B:1*Y*A*Y*Y"));
            if (I) {
                add("DTP*434*RD8*20260501-20260502");
                add("CL1*1*1*01");
            }
            if (s_.ambulance) {
                add("CR1*LB*140**A*DH*12");
                add("CRC*07*Y*01");
            }
            if (I) {
                add("HI*ABK:J449");
                add("HI*ABF:I10*BE:01:::125.5*BH:11:D8:20260430");
            } else {
                add(std::string("HI*ABK:") + (P ? "J449*ABF:I10" : "K021"));
            }
            if (s_.anesthesia) add("HI*BP:00100*BO:00102");
            if (P) add("NM1*82*1*SMITH*ANNA****XX*1245319599");
            if (P) add("PRV*PE*PXC*207Q00000X");
            if (s_.ambulance)
                for (const char* seg : {"NM1*PW*2", "N3*5 PINE ROAD", "N4*SPRINGFIELD*IL*62704",
                                        "NM1*45*2*CITY HOSPITAL", "N3*900 MAIN STREET",
                                        "N4*SPRINGFIELD*IL*627041111"})
                    add(seg);
            if (s_.otherPayer) {
                add("SBR*S*18*GRP200******CI");
                add("CAS*PR*1*10");
                add("AMT*D*" + std::to_string(total - 10 - 20 * s_.lines));
                add(std::string("OI***Y*") + (P ? "P" : "") + "**Y");
                add("NM1*IL*1*DOE*JANE****MI*OTHER1");
                add("NM1*PR*2*BETA INSURANCE*****PI*BETA1");
            }
            for (int l = 1; l <= s_.lines; ++l) line(l, 50 + 25 * l);
        }
    }

    void line(int l, int charge) {
        add("LX*" + std::to_string(l));
        const std::string amount = std::to_string(charge);
        if (s_.kind == FileKind::Institutional) {
            add("SV2*0450*HC:99283*" + amount + "*UN*1");
        } else if (s_.kind == FileKind::Dental) {
            add("SV3*AD:D" + std::to_string(1110 + l) + "*" + amount + "*11");
            add("TOO*JP*" + std::to_string(l + 2) + "*M:O");
            if (l == 1) add("TOO*JP*A");
        } else if (s_.anesthesia && l == 1) {
            add("SV1*HC:00100*" + amount + "*MJ*45***1");
        } else if (s_.ambulance && l == 1) {
            add("SV1*HC:A0425:RH*" + amount + "*UN*12***1");
            add("CR1*LB*140**A*DH*12");
        } else {
            add("SV1*HC:99213*" + amount + "*UN*1***1:2");
        }
        add("DTP*472*D8*20260505");
        if (s_.otherPayer) {
            add("SVD*BETA1*" + std::to_string(charge - 20) + "*HC:99213**1");
            add("CAS*CO*45*20");
            add("DTP*573*D8*20260508");
        }
    }

    std::string withSeparators(std::string text) const {
        const std::string& sep = s_.separators;
        for (char& c : text) {
            if (c == '*')
                c = sep[0];
            else if (c == ':')
                c = sep[1];
            else if (c == '^')
                c = sep[2];
            else if (c == '~')
                c = sep[3];
        }
        std::string out;
        for (const char c : text)
            if (c != '\n')
                out += c;
            else
                out += sep.substr(4);
        return out;
    }

    const Shape& s_;
    std::string out_;
    int count_ = 0, claim_ = 0;
};

std::string sample(const Shape& s) { return Builder(s).build(); }

std::string describe(const CheckReport& r) {
    std::string out;
    for (const Finding& f : r.findings)
        out += std::string(ruleCode(f.rule)) + " " + elementReference(f) + " | " + findingLine(f) +
               "\n";
    return out;
}

}  // namespace

// The other tests' claim files pass the check a send makes, at every size they use.
TEST(ClaimCheck, TheTestsOwnClaimFilesAreSound) {
    const QDate today = QDate::currentDate();
    for (const qsizetype size : {1000, 3000, 32769, 261121, 1880017}) {
        const QByteArray file = zv::test::patterned(size, quint32(size));
        ASSERT_EQ(file.size(), size);
        const CheckReport r =
            checkClaimFile(file.toStdString(), {{today.year(), today.month(), today.day()}});
        EXPECT_EQ(r.kind, FileKind::Professional) << size;
        EXPECT_EQ(describe(r), "") << size << "\n" << file.left(3000).toStdString();
    }
}

TEST(ClaimCheck, SoundFilesRaiseNothing) {
    Shape many;
    many.subscribers = 2;
    many.patients = 2;
    many.claims = 2;
    many.lines = 3;
    many.otherPayer = true;
    struct Row {
        const char* what;
        Shape shape;
        int claims;
    };
    const auto with = [](Shape s, auto change) {
        change(s);
        return s;
    };
    // clang-format off
    const Row rows[] = {
        {"837P, subscriber is patient", Shape{}, 1},
        {"837P, subscribers with patients, other payer", many, 8},
        {"837P ambulance", with(Shape{}, [](Shape& s) { s.ambulance = true; }), 1},
        {"837P anaesthesia, Medicare", with(Shape{}, [](Shape& s) { s.anesthesia = s.medicare = true; }), 1},
        {"837P other separators, no line ends", with(many, [](Shape& s) { s.separators = "|>!'"; }), 8},
        {"837P CR LF", with(Shape{}, [](Shape& s) { s.separators = "*:^~\r\n"; }), 1},
        {"837I", with(many, [](Shape& s) { s.kind = FileKind::Institutional; }), 8},
        {"837I self", with(Shape{}, [](Shape& s) { s.kind = FileKind::Institutional; s.lines = 5; }), 1},
        {"837D", with(many, [](Shape& s) { s.kind = FileKind::Dental; }), 8},
        {"837D self", with(Shape{}, [](Shape& s) { s.kind = FileKind::Dental; s.claims = 3; }), 3},
    };
    // clang-format on
    for (const Row& row : rows) {
        const std::string file = sample(row.shape);
        const CheckReport r = checkClaimFile(file, kToday);
        EXPECT_EQ(r.kind, row.shape.kind) << row.what;
        EXPECT_EQ(describe(r), "") << row.what << "\n" << file.substr(0, 3000);
        EXPECT_EQ(r.claims, row.claims) << row.what;
        EXPECT_EQ(r.transactions, 1) << row.what;
    }
}

TEST(ClaimCheck, EachRuleCatchesItsBrokenFile) {
    Shape self, dependents, other, institutional, dental;
    dependents.patients = 1;
    other.otherPayer = true;
    institutional.kind = FileKind::Institutional;
    dental.kind = FileKind::Dental;
    Shape medicare;
    medicare.medicare = true;
    struct Row {
        const Shape* shape;
        std::string from, to;
        const char* rule;
        const char* where;  // element reference, or the segment ID
    };
    // clang-format off
    const Row rows[] = {
        {&self, "*00501*", "*00401*", "interchange-header", "ISA12"},
        {&self, "IEA*1*000000101~\n", "", "interchange-end-missing", "GE"},
        {&self, "IEA*1*", "IEA*2*", "interchange-count", "IEA01"},
        {&self, "IEA*1*000000101", "IEA*1*000000102", "interchange-number", "IEA02"},
        {&self, "GE*1*7~\n", "GE*1*7~\nNTE*X~\n", "envelope-order", "NTE"},
        {&self, "GE*1*7~\n", "", "group-end-missing", "IEA"},
        {&self, "GE*1*7", "GE*2*7", "group-count", "GE01"},
        {&self, "GE*1*7", "GE*1*8", "group-number", "GE02"},
        {&self, "\nSE*", "\nXSE*", "transaction-end-missing", "GE"},
        {&self, "\nSE*", "\nSE*9", "transaction-count", "SE01"},
        {&self, "*0001~\nGE", "*0002~\nGE", "transaction-number", "SE02"},
        {&self, "CH~\n", "CH~\nZZZ*1~\n", "segment-unrecognized", "ZZZ"},
        {&self, "*Y*A*Y*Y~\n", "*Y*A*Y*Y~\nCL1*1~\n", "segment-unexpected", "CL1"},
        {&self, "N3*100 ELM STREET~\n", "", "segment-missing", "N3"},
        {&self, "NM1*82*1*SMITH*ANNA****XX*1245319599~\n", "NM1*82*1*SMITH*ANNA****XX*1245319599~\nNM1*82*1*SMITH*ANNA****XX*1245319599~\n", "loop-too-many", "NM1"},
        {&self, "PRV*BI*PXC*207Q00000X~\n", "PRV*BI*PXC*207Q00000X~\nPRV*BI*PXC*207Q00000X~\n", "segment-too-many", "PRV"},
        {&self, "N3*12 OAK AVENUE~\nN4*SPRINGFIELD*IL*62704~\nDMG*D8*19800101*F~\n", "DMG*D8*19800101*F~\nN3*12 OAK AVENUE~\nN4*SPRINGFIELD*IL*62704~\n", "segment-out-of-order", "N3"},
        {&self, "CLM*PCN1*", "CLM**", "element-missing", "CLM01"},
        {&self, "SMITH*ANNA****XX*1245319599", "SMITH*ANNA****XX*", "element-condition-missing", "NM109"},
        {&self, "N4*SPRINGFIELD*IL*627041234", "N4*S*IL*627041234", "element-too-short", "N401"},
        {&self, "CLM*PCN1*", "CLM*PCN1XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX*", "element-too-long", "CLM01"},
        {&self, "DOE*JANE", "DOE*JAN\xC9", "element-bad-character", "NM104"},
        {&self, "CLM*PCN1*175*", "CLM*PCN1*17X*", "element-bad-character", "CLM02"},
        {&self, "19800101*F", "19800101*X", "element-bad-code", "DMG03"},
        {&self, "472*D8*20260505", "472*D8*20260231", "element-bad-date", "DTP03"},
        {&self, "*20260510*0930*CH", "*20260510*2560*CH", "element-bad-time", "BHT05"},
        {&self, "ACME HEALTH", "ACME^HEALTH", "element-repeated", "NM103"},
        {&self, "11:B:1", "11:B:1:9", "element-too-many-components", "CLM05"},
        {&self, "N3*100 ELM STREET", "N3*100 ELM STREET*SUITE 2*X", "element-too-many", "N303"},
        {&self, "SBR*P*18*", "SBR*P**", "situational-element-missing", "SBR02"},
        {&dependents, "SBR*P**", "SBR*P*18*", "situational-element-present", "SBR02"},
        {&self, "DMG*D8*19800101*F~\n", "", "situational-segment-missing", "DMG"},
        {&self, "HL*2*1*22", "HL*5*1*22", "hierarchy-number", "HL01"},
        {&self, "HL*2*1*22", "HL*2*3*22", "hierarchy-parent", "HL02"},
        {&self, "HL*2*1*22*0", "HL*2*1*22*1", "hierarchy-child", "HL04"},
        {&self, "100 ELM STREET", "PO BOX 100", "street-address", "N301"},
        {&self, "627041234", "62704", "zip-code", "N403"},
        {&self, "***1:2~", "***1:3~", "diagnosis-pointer", "SV107-2"},
        {&self, "ABK:J449", "ABK:J44.9", "diagnosis-format", "HI01-2"},
        {&dental, "TOO*JP*3*", "TOO*JP*33*", "tooth-code", "TOO02"},
        {&institutional, "SV2*0450", "SV2*450", "revenue-code", "SV201"},
        {&dental, "AD:D1111", "AD:1111", "procedure-code-format", "SV301-2"},
        {&self, "19800101", "20300101", "birth-date", "DMG02"},
        {&self, "SV1*HC:99213*75", "SV1*HC:99213*76", "claim-balance", "CLM02"},
        {&other, "SVD*BETA1*55", "SVD*BETA1*56", "line-payer-balance", "SVD02"},
        {&other, "AMT*D*", "AMT*D*1", "claim-payer-balance", "CLM02"},
        {&self, "1234567893", "1234567890", "npi-check-digit", "NM109"},
        {&medicare, "1EG4TE5MK73", "123456789A", "medicare-id-format", "NM109"},
        {&self, "472*D8*20260505", "472*D8*20260601", "service-date-future", "DTP03"},
        {&self, "472*D8*20260505", "472*D8*20250101", "service-date-old", "DTP03"},
    };
    // clang-format on
    for (const Row& row : rows) {
        std::string file = sample(*row.shape);
        const std::size_t at = file.find(row.from);
        EXPECT_NE(at, std::string::npos) << row.from;
        if (at == std::string::npos) continue;
        file.replace(at, row.from.size(), row.to);
        const CheckReport r = checkClaimFile(file, kToday);
        const Finding* found = nullptr;
        for (const Finding& f : r.findings)
            if (ruleCode(f.rule) == row.rule && elementReference(f) == row.where) found = &f;
        EXPECT_TRUE(found) << row.rule << " at " << row.where << " not in:\n" << describe(r);
        if (!found) continue;
        // A warning alone leaves the file sendable.
        EXPECT_EQ(r.hasErrors(), found->severity == Severity::Error) << describe(r);
    }
}

TEST(ClaimCheck, WhatIsNotCheckedSaysWhy) {
    std::string isa4010 = sample(Shape{});
    isa4010.replace(isa4010.find("*005010X222A1~\nST"), 13, "*004010X098A1");
    std::string broken = sample(Shape{});
    broken.replace(broken.find("MAPLECLINIC    "), 15, "MAPLECLINIC");
    const std::string joined = sample(Shape{}) + "\r\n" + sample(Shape{});
    struct Row {
        std::string file;
        FileKind kind;
        const char* reason;
        int transactions;
    };
    const Row rows[] = {
        {"", FileKind::NotChecked, "it is not an X12 interchange", 0},
        {"Dear ZOD,", FileKind::NotChecked, "it is not an X12 interchange", 0},
        {isa4010, FileKind::NotChecked,
         "it holds no 837 claims in version 5010 (GS08 is 004010X098A1)", 0},
        {broken, FileKind::Unreadable,
         "the interchange header (ISA) is not 106 characters with its separators", 0},
        {joined, FileKind::Professional, "", 2},  // a join of two files: both checked
    };
    for (const Row& row : rows) {
        const CheckReport r = checkClaimFile(row.file, kToday);
        EXPECT_EQ(r.kind, row.kind) << row.reason;
        EXPECT_EQ(r.notChecked, row.reason);
        EXPECT_EQ(r.transactions, row.transactions) << row.reason;
        EXPECT_EQ(r.hasErrors(), row.kind == FileKind::Unreadable) << describe(r);
    }
}

TEST(ClaimCheck, FindingsAreCappedAndCounted) {
    Shape big;
    big.claims = 40;
    std::string file = sample(big);
    for (std::size_t at; (at = file.find("DTP*472*D8*20260505")) != std::string::npos;)
        file.replace(at, 19, "DTP*472*D8*20261305");
    CheckOptions options = kToday;
    options.maxFindings = 5;
    const CheckReport r = checkClaimFile(file, options);
    EXPECT_EQ(r.findings.size(), 5u);
    EXPECT_EQ(r.errors, 80);
    EXPECT_EQ(r.findingsLeftOut, 75);
    EXPECT_NE(
        findingsText(r, "X.83P").find("Only the first 5 findings are listed; 75 more were found."),
        std::string::npos);
}

TEST(ClaimCheck, FindingsInWords) {
    std::string file = sample(Shape{});
    file.replace(file.find("1245319599"), 10, "1245319590");
    file.replace(file.find("DOE*JANE"), 8, "DOE*JA\"NE");
    const CheckReport r = checkClaimFile(file, kToday);
    EXPECT_EQ(firstProblem(r),
              "claim PCN1, patient DOE, JA\"NE, loop 2310B, NM109 (Rendering Provider Identifier) "
              "\"1245319590\": This NPI is not valid: its last digit is not the check digit of the "
              "other nine, so a digit is wrong or two are swapped.");
    const std::string text = findingsText(r, "MAPLE0001.83P", "\n");
    for (const char* line :
         {"ZOD claim file check of MAPLE0001.83P\n",
          "File: 837P (professional claims, guide 005010X222A1), 1 claim in 1 transaction set, 33 "
          "segments.\n",
          "Result: 1 error: ZOD would reject this file.\n", "1. Error (npi-check-digit)\n",
          "   Where:      loop 2310B Rendering Provider Name, segment 21 (NM1) of transaction set "
          "0001\n",
          "   ZOD would answer: 277CA: claim rejected, status A7:562:82 (Entity's National "
          "Provider "
          "Identifier (NPI))\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    const std::string json = findingsJson(r, "MAPLE0001.83P");
    EXPECT_NE(json.find("\"patient\":\"DOE, JA\\\"NE\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"rule\":\"npi-check-digit\",\"claim\":\"PCN1\""), std::string::npos)
        << json;
    EXPECT_TRUE(findingsText(checkClaimFile(sample(Shape{}), kToday), "A", "\n")
                    .ends_with("33 segments.\nResult: no problems found.\n"));
}

TEST(ClaimCheck, Identifiers) {
    for (const char* npi : {"1234567893", "1245319599", "1003000126"})
        EXPECT_TRUE(isValidNpi(npi)) << npi;
    for (const char* npi : {"1234567890", "1245319959", "123456789", "12345678931", "123456789X"})
        EXPECT_FALSE(isValidNpi(npi)) << npi;
    for (const char* mbi : {"1EG4TE5MK73", "9AA0A00AA00", "1A23C45DE67"})
        EXPECT_TRUE(isMedicareBeneficiaryId(mbi)) << mbi;
    // Letters S, L, O, I, B and Z are never used; the pattern fixes letters and digits.
    for (const char* mbi :
         {"1EG4-TE5-MK73", "0EG4TE5MK73", "1SG4TE5MK73", "1EG4TE5MKZ3", "123456789A", "1EG4TE5MK7"})
        EXPECT_FALSE(isMedicareBeneficiaryId(mbi)) << mbi;
    EXPECT_TRUE(parsePeriod("D8", "20240229"));
    EXPECT_FALSE(parsePeriod("D8", "20230229"));
    EXPECT_FALSE(parsePeriod("RD8", "20260502-20260501"));
    EXPECT_EQ(parseCents("-12.5"), -1250);
    EXPECT_EQ(parseCents("0.100"), 10);
    EXPECT_FALSE(parseCents("1.005"));
    EXPECT_EQ(formatCents(123456789), "$1,234,567.89");
}
