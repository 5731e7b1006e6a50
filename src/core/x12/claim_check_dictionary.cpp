// The 837's segments as the X12 base standard (version 5010) defines them. Each element is
// written "[!]TYPE MIN/MAX Name" ("!" when the standard makes it mandatory), a composite
// "[!]C Cnnn Name" with its components in the composite table.
#include "x12/claim_check_dictionary.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <map>

#include "x12/claim_check_tokens.h"
#include "x12/claim_check_values.h"

namespace zv::x12::check {
namespace {

struct SegmentText {
    const char* id;
    const char* title;
    std::initializer_list<const char*> elements;
};

// Names as the implementation guides give them where they differ little between loops.
const std::map<std::string_view, std::vector<const char*>>& compositeTexts() {
    static const std::map<std::string_view, std::vector<const char*>> composites = {
        {"C001",
         {"!ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Exponent", "R 1/10 Multiplier",
          "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Exponent", "R 1/10 Multiplier",
          "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Exponent", "R 1/10 Multiplier",
          "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Exponent", "R 1/10 Multiplier",
          "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Exponent", "R 1/10 Multiplier"}},
        {"C002",
         {"!ID 1/2 Attachment Action", "ID 1/2 Attachment Action", "ID 1/2 Attachment Action",
          "ID 1/2 Attachment Action", "ID 1/2 Attachment Action"}},
        {"C003",
         {"!ID 2/2 Product or Service ID Qualifier", "!AN 1/48 Procedure Code",
          "AN 2/2 Procedure Modifier", "AN 2/2 Procedure Modifier", "AN 2/2 Procedure Modifier",
          "AN 2/2 Procedure Modifier", "AN 1/80 Description", "AN 1/48 Product or Service ID"}},
        {"C004",
         {"!N0 1/2 Diagnosis Code Pointer", "N0 1/2 Diagnosis Code Pointer",
          "N0 1/2 Diagnosis Code Pointer", "N0 1/2 Diagnosis Code Pointer"}},
        {"C005",
         {"!ID 1/2 Tooth Surface Code", "ID 1/2 Tooth Surface Code", "ID 1/2 Tooth Surface Code",
          "ID 1/2 Tooth Surface Code", "ID 1/2 Tooth Surface Code"}},
        {"C006",
         {"!ID 1/3 Oral Cavity Designation Code", "ID 1/3 Oral Cavity Designation Code",
          "ID 1/3 Oral Cavity Designation Code", "ID 1/3 Oral Cavity Designation Code",
          "ID 1/3 Oral Cavity Designation Code"}},
        {"C022",
         {"!ID 1/3 Code List Qualifier Code", "!AN 1/30 Industry Code",
          "ID 2/3 Date Time Period Format Qualifier", "AN 1/35 Date Time Period",
          "R 1/18 Monetary Amount", "R 1/15 Quantity", "AN 1/30 Version Identifier",
          "AN 1/30 Industry Code", "ID 1/1 Present on Admission Indicator"}},
        {"C023",
         {"!AN 1/2 Facility Code Value", "ID 1/2 Facility Code Qualifier",
          "ID 1/1 Claim Frequency Type Code"}},
        {"C024",
         {"!ID 2/3 Related Causes Code", "ID 2/3 Related Causes Code", "ID 2/3 Related Causes Code",
          "ID 2/2 Auto Accident State or Province Code", "ID 2/3 Country Code"}},
        {"C035",
         {"!ID 1/3 Provider Specialty Code", "AN 1/30 Provider Specialty Code",
          "AN 1/30 Provider Specialty Code"}},
        {"C040",
         {"!ID 2/3 Reference Identification Qualifier", "!AN 1/50 Reference Identification",
          "ID 2/3 Reference Identification Qualifier", "AN 1/50 Reference Identification",
          "ID 2/3 Reference Identification Qualifier", "AN 1/50 Reference Identification"}},
        {"C056",
         {"ID 1/1 Race or Ethnicity Code", "ID 1/3 Code List Qualifier Code",
          "AN 1/30 Industry Code"}},
    };
    return composites;
}

// clang-format off
const SegmentText kSegments[] = {
    {"ISA", "Interchange Control Header", {"!ID 2/2 Authorization Information Qualifier",
        "!AN 10/10 Authorization Information", "!ID 2/2 Security Information Qualifier",
        "!AN 10/10 Security Information", "!ID 2/2 Interchange ID Qualifier",
        "!AN 15/15 Interchange Sender ID", "!ID 2/2 Interchange ID Qualifier",
        "!AN 15/15 Interchange Receiver ID", "!DT 6/6 Interchange Date", "!TM 4/4 Interchange Time",
        "!AN 1/1 Repetition Separator", "!ID 5/5 Interchange Control Version Number",
        "!N0 9/9 Interchange Control Number", "!ID 1/1 Acknowledgment Requested",
        "!ID 1/1 Interchange Usage Indicator", "!AN 1/1 Component Element Separator"}},
    {"IEA", "Interchange Control Trailer", {"!N0 1/5 Number of Included Functional Groups",
        "!N0 9/9 Interchange Control Number"}},
    {"GS", "Functional Group Header", {"!ID 2/2 Functional Identifier Code",
        "!AN 2/15 Application Sender's Code", "!AN 2/15 Application Receiver's Code",
        "!DT 8/8 Date", "!TM 4/8 Time", "!N0 1/9 Group Control Number",
        "!ID 1/2 Responsible Agency Code", "!AN 1/12 Version / Release / Industry Identifier Code"}},
    {"GE", "Functional Group Trailer", {"!N0 1/6 Number of Transaction Sets Included",
        "!N0 1/9 Group Control Number"}},
    {"ST", "Transaction Set Header", {"!ID 3/3 Transaction Set Identifier Code",
        "!AN 4/9 Transaction Set Control Number", "AN 1/35 Implementation Convention Reference"}},
    {"SE", "Transaction Set Trailer", {"!N0 1/10 Transaction Segment Count",
        "!AN 4/9 Transaction Set Control Number"}},
    {"BHT", "Beginning of Hierarchical Transaction", {"!ID 4/4 Hierarchical Structure Code",
        "!ID 2/2 Transaction Set Purpose Code", "AN 1/50 Originator Application Transaction Identifier",
        "DT 8/8 Transaction Set Creation Date", "TM 4/8 Transaction Set Creation Time",
        "ID 2/2 Claim or Encounter Identifier"}},
    {"NM1", "{} Name", {"!ID 2/3 Entity Identifier Code", "!ID 1/1 Entity Type Qualifier",
        "AN 1/60 {} Last or Organization Name", "AN 1/35 {} First Name",
        "AN 1/25 {} Middle Name or Initial", "AN 1/10 Name Prefix", "AN 1/10 {} Name Suffix",
        "ID 1/2 Identification Code Qualifier", "AN 2/80 {} Identifier",
        "ID 2/2 Entity Relationship Code", "ID 2/3 Entity Identifier Code",
        "AN 1/60 Name Last or Organization Name"}},
    {"PER", "{} Contact Information", {"!ID 2/2 Contact Function Code", "AN 1/60 {} Contact Name",
        "ID 2/2 Communication Number Qualifier", "AN 1/256 Communication Number",
        "ID 2/2 Communication Number Qualifier", "AN 1/256 Communication Number",
        "ID 2/2 Communication Number Qualifier", "AN 1/256 Communication Number",
        "AN 1/20 Contact Inquiry Reference"}},
    {"N3", "{} Address", {"!AN 1/55 {} Address Line", "AN 1/55 {} Address Line 2"}},
    {"N4", "{} City, State, ZIP Code", {"AN 2/30 {} City Name", "ID 2/2 {} State Code",
        "ID 3/15 {} Postal Zone or ZIP Code", "ID 2/3 Country Code", "ID 1/2 Location Qualifier",
        "AN 1/30 Location Identifier", "ID 1/3 Country Subdivision Code"}},
    {"REF", "{} Reference Information", {"!ID 2/3 Reference Identification Qualifier",
        "AN 1/50 Reference Identification", "AN 1/80 Description", "C C040 Reference Identifier"}},
    {"HL", "Hierarchical Level", {"!AN 1/12 Hierarchical ID Number",
        "AN 1/12 Hierarchical Parent ID Number", "!ID 1/2 Hierarchical Level Code",
        "ID 1/1 Hierarchical Child Code"}},
    {"PRV", "{} Specialty Information", {"!ID 1/3 Provider Code",
        "ID 2/3 Reference Identification Qualifier", "AN 1/50 Provider Taxonomy Code",
        "ID 2/2 State or Province Code", "C C035 Provider Specialty Information",
        "ID 3/3 Provider Organization Code"}},
    {"CUR", "Foreign Currency Information", {"!ID 2/3 Entity Identifier Code", "!ID 3/3 Currency Code",
        "R 4/10 Exchange Rate", "ID 2/3 Entity Identifier Code", "ID 3/3 Currency Code",
        "ID 3/3 Currency Market/Exchange Code", "ID 3/3 Date/Time Qualifier", "DT 8/8 Date",
        "TM 4/8 Time", "ID 3/3 Date/Time Qualifier", "DT 8/8 Date", "TM 4/8 Time",
        "ID 3/3 Date/Time Qualifier", "DT 8/8 Date", "TM 4/8 Time", "ID 3/3 Date/Time Qualifier",
        "DT 8/8 Date", "TM 4/8 Time", "ID 3/3 Date/Time Qualifier", "DT 8/8 Date", "TM 4/8 Time"}},
    {"SBR", "{} Information", {"!ID 1/1 Payer Responsibility Sequence Number Code",
        "ID 2/2 Individual Relationship Code", "AN 1/50 {} Group or Policy Number",
        "AN 1/60 {} Group Name", "ID 1/3 Insurance Type Code", "ID 1/1 Coordination of Benefits Code",
        "ID 1/1 Yes/No Condition or Response Code", "ID 2/2 Employment Status Code",
        "ID 1/2 Claim Filing Indicator Code"}},
    {"PAT", "Patient Information", {"ID 2/2 Individual Relationship Code",
        "ID 1/2 Patient Location Code", "ID 1/2 Employment Status Code", "ID 1/1 Student Status Code",
        "ID 2/3 Date Time Period Format Qualifier", "AN 1/35 Patient Death Date",
        "ID 2/2 Unit or Basis for Measurement Code", "R 1/10 Patient Weight",
        "ID 1/1 Pregnancy Indicator"}},
    {"DMG", "{} Demographic Information", {"ID 2/3 Date Time Period Format Qualifier",
        "AN 1/35 {} Birth Date", "ID 1/1 {} Gender Code", "ID 1/1 Marital Status Code",
        "C C056 Composite Race or Ethnicity Information", "ID 1/2 Citizenship Status Code",
        "ID 2/3 Country Code", "ID 2/2 Basis of Verification Code", "R 1/15 Quantity",
        "ID 1/3 Code List Qualifier Code", "AN 1/15 Industry Code"}},
    {"CLM", "Claim Information", {"!AN 1/38 Patient Control Number",
        "R 1/18 Total Claim Charge Amount", "ID 1/2 Claim Filing Indicator Code",
        "ID 1/2 Non-Institutional Claim Type Code", "C C023 Health Care Service Location Information",
        "ID 1/1 Provider or Supplier Signature Indicator",
        "ID 1/1 Assignment or Plan Participation Code",
        "ID 1/1 Benefits Assignment Certification Indicator", "ID 1/1 Release of Information Code",
        "ID 1/1 Patient Signature Source Code", "C C024 Related Causes Information",
        "ID 2/3 Special Program Indicator", "ID 1/1 Yes/No Condition or Response Code",
        "ID 1/2 Level of Service Code", "ID 1/1 Yes/No Condition or Response Code",
        "ID 1/1 Provider Agreement Code", "ID 1/2 Claim Status Code",
        "ID 1/1 Yes/No Condition or Response Code", "ID 2/2 Claim Submission Reason Code",
        "ID 1/2 Delay Reason Code"}},
    {"DTP", "Date", {"!ID 3/3 Date Time Qualifier", "!ID 2/3 Date Time Period Format Qualifier",
        "!AN 1/35 Date Time Period"}},
    {"PWK", "Claim Supplemental Information", {"!ID 2/2 Attachment Report Type Code",
        "ID 1/2 Attachment Transmission Code", "N0 1/2 Report Copies Needed",
        "ID 2/3 Entity Identifier Code", "ID 1/2 Identification Code Qualifier",
        "AN 2/80 Attachment Control Number", "AN 1/80 Description", "C C002 Actions Indicated",
        "ID 1/2 Request Category Code"}},
    {"CN1", "Contract Information", {"!ID 2/2 Contract Type Code", "R 1/18 Contract Amount",
        "R 1/6 Contract Percentage", "AN 1/50 Contract Code", "R 1/6 Terms Discount Percentage",
        "AN 1/30 Contract Version Identifier"}},
    {"AMT", "Amount", {"!ID 1/3 Amount Qualifier Code", "!R 1/18 Monetary Amount",
        "ID 1/1 Credit/Debit Flag Code"}},
    {"K3", "File Information", {"!AN 1/80 Fixed Format Information", "ID 1/2 Record Format Code",
        "C C001 Composite Unit of Measure"}},
    {"NTE", "Note", {"ID 3/3 Note Reference Code", "!AN 1/80 Description"}},
    {"CR1", "Ambulance Transport Information", {"ID 2/2 Unit or Basis for Measurement Code",
        "R 1/10 Patient Weight", "ID 1/1 Ambulance Transport Code",
        "ID 1/1 Ambulance Transport Reason Code", "ID 2/2 Unit or Basis for Measurement Code",
        "R 1/15 Transport Distance", "AN 1/55 Address Information", "AN 1/55 Address Information",
        "AN 1/80 Round Trip Purpose Description", "AN 1/80 Stretcher Purpose Description"}},
    {"CR2", "Spinal Manipulation Service Information", {"N0 1/9 Count", "R 1/15 Quantity",
        "ID 2/3 Subluxation Level Code", "ID 2/3 Subluxation Level Code",
        "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Quantity", "R 1/15 Quantity",
        "ID 1/1 Nature of Condition Code", "ID 1/1 Yes/No Condition or Response Code",
        "AN 1/80 Description", "AN 1/80 Description", "ID 1/1 Yes/No Condition or Response Code"}},
    {"CR3", "Durable Medical Equipment Certification", {"ID 1/1 Certification Type Code",
        "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Durable Medical Equipment Duration",
        "ID 1/1 Insulin Dependent Code", "AN 1/80 Description"}},
    {"CRC", "Condition Information", {"!ID 2/2 Code Category",
        "!ID 1/1 Certification Condition Indicator", "!ID 2/3 Condition Code",
        "ID 2/3 Condition Code", "ID 2/3 Condition Code", "ID 2/3 Condition Code",
        "ID 2/3 Condition Code"}},
    {"HI", "Health Care Information Codes", {"!C C022 Health Care Code Information",
        "C C022 Health Care Code Information", "C C022 Health Care Code Information",
        "C C022 Health Care Code Information", "C C022 Health Care Code Information",
        "C C022 Health Care Code Information", "C C022 Health Care Code Information",
        "C C022 Health Care Code Information", "C C022 Health Care Code Information",
        "C C022 Health Care Code Information", "C C022 Health Care Code Information",
        "C C022 Health Care Code Information"}},
    {"HCP", "Claim Pricing/Repricing Information", {"!ID 2/2 Pricing Methodology",
        "R 1/18 Repriced Allowed Amount", "R 1/18 Repriced Saving Amount",
        "AN 1/50 Repricing Organization Identifier", "R 1/9 Repricing Per Diem or Flat Rate Amount",
        "AN 1/50 Repriced Approved Ambulatory Patient Group Code",
        "R 1/18 Repriced Approved Ambulatory Patient Group Amount", "AN 1/48 Product or Service ID",
        "ID 2/2 Product or Service ID Qualifier", "AN 1/48 Product or Service ID",
        "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Quantity", "ID 2/2 Reject Reason Code",
        "ID 1/2 Policy Compliance Code", "ID 1/2 Exception Code"}},
    {"CL1", "Institutional Claim Code", {"ID 1/1 Admission Type Code", "ID 1/1 Admission Source Code",
        "ID 1/2 Patient Status Code", "ID 1/1 Nursing Home Residential Status Code"}},
    {"DN1", "Orthodontic Information", {"R 1/15 Orthodontic Treatment Months Count",
        "R 1/15 Orthodontic Treatment Months Remaining Count", "ID 1/1 Yes/No Condition or Response Code",
        "AN 1/80 Description"}},
    {"DN2", "Tooth Status", {"!AN 1/50 Tooth Number", "!ID 1/2 Tooth Status Code", "R 1/15 Quantity",
        "ID 2/3 Date Time Period Format Qualifier", "AN 1/35 Date Time Period",
        "ID 1/3 Code List Qualifier Code"}},
    {"CAS", "Claim Adjustment", {"!ID 1/2 Claim Adjustment Group Code",
        "!ID 1/5 Adjustment Reason Code", "!R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity",
        "ID 1/5 Adjustment Reason Code", "R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity",
        "ID 1/5 Adjustment Reason Code", "R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity",
        "ID 1/5 Adjustment Reason Code", "R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity",
        "ID 1/5 Adjustment Reason Code", "R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity",
        "ID 1/5 Adjustment Reason Code", "R 1/18 Adjustment Amount", "R 1/15 Adjustment Quantity"}},
    {"OI", "Other Insurance Coverage Information", {"ID 2/2 Claim Filing Indicator Code",
        "ID 2/2 Claim Submission Reason Code", "ID 1/1 Benefits Assignment Certification Indicator",
        "ID 1/1 Patient Signature Source Code", "ID 1/1 Provider Agreement Code",
        "ID 1/1 Release of Information Code"}},
    {"MOA", "Outpatient Adjudication Information", {"R 1/10 Reimbursement Rate",
        "R 1/18 HCPCS Payable Amount", "AN 1/50 Claim Payment Remark Code",
        "AN 1/50 Claim Payment Remark Code", "AN 1/50 Claim Payment Remark Code",
        "AN 1/50 Claim Payment Remark Code", "AN 1/50 Claim Payment Remark Code",
        "R 1/18 End Stage Renal Disease Payment Amount",
        "R 1/18 Non-Payable Professional Component Billed Amount"}},
    {"MIA", "Inpatient Adjudication Information", {"!R 1/15 Covered Days or Visits Count",
        "R 1/15 PPS Operating Outlier Amount", "R 1/15 Lifetime Psychiatric Days Count",
        "R 1/18 Claim DRG Amount", "AN 1/50 Claim Payment Remark Code",
        "R 1/18 Claim Disproportionate Share Amount", "R 1/18 Claim MSP Pass-through Amount",
        "R 1/18 Claim PPS Capital Amount", "R 1/18 PPS-Capital FSP DRG Amount",
        "R 1/18 PPS-Capital HSP DRG Amount", "R 1/18 PPS-Capital DSH DRG Amount",
        "R 1/18 Old Capital Amount", "R 1/18 PPS-Capital IME Amount",
        "R 1/18 PPS-Operating Hospital Specific DRG Amount", "R 1/15 Cost Report Day Count",
        "R 1/18 PPS-Operating Federal Specific DRG Amount", "R 1/18 Claim PPS Capital Outlier Amount",
        "R 1/18 Claim Indirect Teaching Amount", "R 1/18 Non-Payable Professional Component Amount",
        "AN 1/50 Claim Payment Remark Code", "AN 1/50 Claim Payment Remark Code",
        "AN 1/50 Claim Payment Remark Code", "AN 1/50 Claim Payment Remark Code",
        "R 1/18 PPS-Capital Exception Amount"}},
    {"LX", "Service Line Number", {"!N0 1/6 Assigned Number"}},
    {"SV1", "Professional Service", {"!C C003 Composite Medical Procedure Identifier",
        "R 1/18 Line Item Charge Amount", "ID 2/2 Unit or Basis for Measurement Code",
        "R 1/15 Service Unit Count", "AN 1/2 Place of Service Code", "ID 1/2 Service Type Code",
        "C C004 Composite Diagnosis Code Pointer", "R 1/18 Monetary Amount",
        "ID 1/1 Emergency Indicator", "ID 1/1 Multiple Procedure Code", "ID 1/1 EPSDT Indicator",
        "ID 1/1 Family Planning Indicator", "ID 1/2 Review Code",
        "ID 2/2 National or Local Assigned Review Value", "ID 1/1 Copay Status Code",
        "ID 1/2 Health Care Professional Shortage Area Code", "AN 1/50 Reference Identification",
        "ID 2/2 Postal Code", "R 1/18 Monetary Amount", "ID 1/1 Level of Care Code",
        "ID 1/1 Provider Agreement Code"}},
    {"SV2", "Institutional Service Line", {"AN 1/48 Service Line Revenue Code",
        "C C003 Composite Medical Procedure Identifier", "R 1/18 Line Item Charge Amount",
        "ID 2/2 Unit or Basis for Measurement Code", "R 1/15 Service Unit Count",
        "R 1/10 Unit Rate", "R 1/18 Line Item Denied Charge or Non-Covered Charge Amount",
        "ID 1/1 Yes/No Condition or Response Code", "ID 1/1 Nursing Home Residential Status Code",
        "ID 1/2 Level of Care Code"}},
    {"SV3", "Dental Service", {"!C C003 Composite Medical Procedure Identifier",
        "!R 1/18 Line Item Charge Amount", "AN 1/2 Place of Service Code",
        "C C006 Oral Cavity Designation", "ID 1/1 Prosthesis, Crown, or Inlay Code",
        "R 1/15 Procedure Count", "AN 1/80 Description", "ID 1/1 Copay Status Code",
        "ID 1/1 Provider Agreement Code", "ID 1/1 Yes/No Condition or Response Code",
        "C C004 Composite Diagnosis Code Pointer"}},
    {"SV5", "Durable Medical Equipment Service", {"!C C003 Composite Medical Procedure Identifier",
        "!ID 2/2 Unit or Basis for Measurement Code", "!R 1/15 Length of Medical Necessity",
        "R 1/18 DME Rental Price", "R 1/18 DME Purchase Price", "ID 1/1 Rental Unit Price Indicator",
        "ID 1/1 Prognosis Code"}},
    {"TOO", "Tooth Information", {"ID 1/3 Code List Qualifier Code", "AN 1/30 Tooth Code",
        "C C005 Tooth Surface"}},
    {"QTY", "Quantity Information", {"!ID 2/3 Quantity Qualifier", "R 1/15 Quantity",
        "C C001 Composite Unit of Measure", "AN 1/30 Free-form Information"}},
    {"MEA", "Measurement", {"ID 2/2 Measurement Reference ID Code", "ID 1/3 Measurement Qualifier",
        "R 1/20 Measurement Value", "C C001 Composite Unit of Measure", "R 1/20 Range Minimum",
        "R 1/20 Range Maximum", "ID 2/2 Measurement Significance Code",
        "ID 2/2 Measurement Attribute Code", "ID 2/2 Surface/Layer/Position Code",
        "ID 2/2 Measurement Method or Device", "ID 1/3 Code List Qualifier Code",
        "ID 1/2 Industry Code"}},
    {"PS1", "Purchased Service Information", {"!AN 1/50 Purchased Service Provider Identifier",
        "!R 1/18 Purchased Service Charge Amount", "ID 2/2 State or Province Code"}},
    {"LIN", "Drug Identification", {"AN 1/20 Assigned Identification",
        "!ID 2/2 Product or Service ID Qualifier", "!AN 1/48 National Drug Code"}},
    {"CTP", "Drug Quantity", {"ID 2/2 Class of Trade Code", "ID 3/3 Price Identifier Code",
        "R 1/17 Unit Price", "R 1/15 National Drug Unit Count", "C C001 Composite Unit of Measure",
        "ID 3/3 Price Multiplier Qualifier", "R 1/10 Multiplier", "R 1/18 Monetary Amount",
        "ID 2/2 Basis of Unit Price Code", "AN 1/80 Condition Value", "N0 1/2 Multiple Price Quantity"}},
    {"SVD", "Line Adjudication Information", {"!AN 2/80 Other Payer Primary Identifier",
        "!R 1/18 Service Line Paid Amount", "C C003 Composite Medical Procedure Identifier",
        "AN 1/48 Product or Service ID", "R 1/15 Paid Service Unit Count",
        "N0 1/6 Bundled or Unbundled Line Number"}},
    {"LQ", "Form Identification Code", {"ID 1/3 Code List Qualifier Code", "AN 1/30 Form Identifier"}},
    {"FRM", "Supporting Documentation", {"!AN 1/20 Question Number/Letter",
        "ID 1/1 Question Response", "AN 1/50 Question Response", "DT 8/8 Question Response",
        "R 1/6 Question Response"}},
};
// clang-format on

// "[!]TYPE MIN/MAX Name" or "[!]C Cnnn Name".
ValueDef parseValue(std::string_view text) {
    ValueDef d;
    d.mandatory = text.front() == '!';
    if (d.mandatory) text.remove_prefix(1);
    const std::size_t sp = text.find(' ');
    const std::string_view type = text.substr(0, sp);
    text.remove_prefix(sp + 1);
    const std::size_t sp2 = text.find(' ');
    const std::string_view size = text.substr(0, sp2);
    d.name = std::string(text.substr(sp2 + 1));
    if (type == "C") {
        d.type = Type::Composite;
        for (const char* c : compositeTexts().at(size)) d.components.push_back(parseValue(c));
        return d;
    }
    static constexpr std::pair<std::string_view, Type> kTypes[] = {
        {"AN", Type::AN}, {"ID", Type::ID}, {"N0", Type::N0}, {"N2", Type::N2},
        {"R", Type::R},   {"DT", Type::DT}, {"TM", Type::TM}};
    for (const auto& [name, t] : kTypes)
        if (name == type) d.type = t;
    const std::size_t slash = size.find('/');
    d.min = std::uint16_t(std::stoi(std::string(size.substr(0, slash))));
    d.max = std::uint16_t(std::stoi(std::string(size.substr(slash + 1))));
    return d;
}

// Looked up once per segment of the file: an open-addressed table, not a search.
struct Dictionary {
    static constexpr std::size_t kSlots = 256;
    std::vector<SegmentDef> segments;
    std::array<const SegmentDef*, kSlots> slots{};
    static std::size_t slotOf(std::uint32_t key) { return (key * 2654435761u) >> 24; }
    Dictionary() {
        for (const SegmentText& s : kSegments) {
            SegmentDef def{segmentKey(s.id), s.id, s.title, {}, 0};
            for (const char* e : s.elements) {
                def.elements.push_back(parseValue(e));
                if (def.elements.back().mandatory) def.lastMandatory = int(def.elements.size());
            }
            segments.push_back(std::move(def));
        }
        for (const SegmentDef& d : segments) {
            std::size_t i = slotOf(d.key);
            while (slots[i]) i = (i + 1) % kSlots;
            slots[i] = &d;
        }
    }
    const SegmentDef* find(std::uint32_t key) const {
        for (std::size_t i = slotOf(key); slots[i]; i = (i + 1) % kSlots)
            if (slots[i]->key == key) return slots[i];
        return nullptr;
    }
};

// A number's digits, a sign and one decimal point (R) allowed; the length counts digits.
ValueProblem checkNumber(const ValueDef& def, std::string_view v) {
    if (!v.empty() && v.front() == '-') v.remove_prefix(1);
    std::size_t digits = 0;
    bool point = false;
    for (const char c : v) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && def.type == Type::R && !point) {
            point = true;
        } else {
            return ValueProblem::BadCharacter;
        }
    }
    if (digits == 0) return ValueProblem::BadCharacter;
    if (digits < def.min) return ValueProblem::TooShort;
    return digits > def.max ? ValueProblem::TooLong : ValueProblem::None;
}

}  // namespace

const SegmentDef* findSegment(std::uint32_t key) {
    static const Dictionary dictionary;
    return key ? dictionary.find(key) : nullptr;
}

ValueProblem checkValue(const ValueDef& def, std::string_view value) {
    switch (def.type) {
        case Type::N0:
        case Type::N2:
        case Type::R:
            return checkNumber(def, value);
        case Type::DT:
            if (value.size() != def.max || !isDigits(value)) return ValueProblem::BadDate;
            return parseDate(value) ? ValueProblem::None : ValueProblem::BadDate;
        case Type::TM:
            if (value.size() < def.min || value.size() > def.max) return ValueProblem::BadTime;
            return isTime(value) ? ValueProblem::None : ValueProblem::BadTime;
        default:
            if (value.size() < def.min) return ValueProblem::TooShort;
            return value.size() > def.max ? ValueProblem::TooLong : ValueProblem::None;
    }
}

std::string withEntity(const std::string& text, std::string_view entity) {
    const std::size_t at = text.find("{}");
    if (at == std::string::npos) return text;
    if (entity.empty()) {
        std::string out = text.substr(0, at) + text.substr(std::min(text.size(), at + 3));
        return out.empty() ? text : out;
    }
    return text.substr(0, at) + std::string(entity) + text.substr(at + 2);
}

}  // namespace zv::x12::check
