// The loops of the 837P, 837I and 837D guides. A segment's rules are written as tokens:
// "3" element 3 required, "8=XX" required with these codes, "?5=D8" codes when present,
// "1.2" a component, "2-12.1=ABF,BF" a range of elements; qualifiers select among
// segments and loops of the same ID.
#include "x12/claim_check_guides.h"

#include <deque>
#include <memory>

#include "x12/claim_check_tokens.h"

namespace zv::x12::check {
namespace {

const std::string kFiling = "11,12,13,14,15,16,17,AM,BL,CH,CI,DS,FI,HM,LM,MA,MB,MC,OF,TV,VA,WC,ZZ";
const std::string kResponsibility = "A,B,C,D,E,F,G,H,P,S,T,U";
const std::string kInsuranceType = "12,13,14,15,16,41,42,43,47";
const std::string kRelationship = "01,18,19,20,21,39,40,53,G8";
const std::string kDelay = "1,2,3,4,5,6,7,8,9,10,11,15";
const std::string kAdjustment = "1=CO,CR,OA,PI,PR 2 3";

struct Entry {
    std::string id;
    std::string qualifiers;  // space-separated
    std::uint16_t min = 0, max = 1;
    std::string rules;
    const LoopDef* loop = nullptr;
};

Entry seg(std::string id, std::string qualifiers, std::uint16_t min, std::uint16_t max,
          std::string rules = "") {
    return {std::move(id), std::move(qualifiers), min, max, std::move(rules), nullptr};
}
Entry sub(const LoopDef* loop, std::uint16_t min, std::uint16_t max) {
    return {"", "", min, max, "", loop};
}

std::vector<std::string> splitOn(std::string_view text, char separator) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t at = text.find(separator);
        if (at != 0) out.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return out;
}

// "a" or "a-b" as a range of numbers.
std::pair<int, int> rangeOf(std::string_view text) {
    const std::size_t dash = text.find('-');
    const int a = std::stoi(std::string(text.substr(0, dash)));
    return {a, dash == std::string_view::npos ? a : std::stoi(std::string(text.substr(dash + 1)))};
}

std::vector<std::uint64_t> keysOf(const std::vector<std::string>& codes) {
    std::vector<std::uint64_t> keys;
    for (const std::string& c : codes) keys.push_back(codeKey(c));
    return keys;
}

std::vector<UsageRule> parseRules(std::string_view text) {
    std::vector<UsageRule> rules;
    for (std::string token : splitOn(text, ' ')) {
        const bool optional = token.front() == '?';
        if (optional) token.erase(0, 1);
        const std::size_t eq = token.find('=');
        const std::string place = token.substr(0, eq);
        const std::vector<std::string> codes = eq == std::string::npos
                                                   ? std::vector<std::string>()
                                                   : splitOn(token.substr(eq + 1), ',');
        const std::size_t dot = place.find('.');
        const auto [e1, e2] = rangeOf(place.substr(0, dot));
        const auto [c1, c2] =
            dot == std::string::npos ? std::pair{0, 0} : rangeOf(place.substr(dot + 1));
        for (int e = e1; e <= e2; ++e)
            for (int c = c1; c <= c2; ++c)
                rules.push_back(
                    {std::uint8_t(e), std::uint8_t(c), !optional, codes, keysOf(codes)});
    }
    return rules;
}

class Builder {
public:
    const LoopDef* loop(std::string id, std::string name, std::string entity, LoopTag tag,
                        std::vector<Entry> entries, bool streetAddress = false,
                        bool nineDigitZip = false) {
        LoopDef& l = loops_.emplace_back();
        l.id = std::move(id);
        l.name = std::move(name);
        l.entity = std::move(entity);
        l.tag = tag;
        l.streetAddress = streetAddress;
        l.nineDigitZip = nineDigitZip;
        for (Entry& e : entries) {
            Item item;
            if (e.loop) {
                const Item& first = e.loop->items.front();
                item.segment = first.segment;
                item.qualifiers = first.qualifiers;
                item.loop = e.loop;
            } else {
                item.segment = findSegment(segmentKey(e.id));
                item.qualifiers = splitOn(e.qualifiers, ' ');
                item.rules = parseRules(e.rules);
            }
            item.key = item.segment->key;
            item.qualifierKeys = keysOf(item.qualifiers);
            item.min = e.min;
            item.max = e.max;
            const std::size_t i = l.items.size();
            item.runStart = i > 0 && l.items[i - 1].key == item.key ? l.items[i - 1].runStart
                                                                    : std::uint16_t(i);
            if (i > 0 && item.min > 0) l.required.push_back(std::uint16_t(i));
            l.keys |= keyBit(item.key);
            l.items.push_back(std::move(item));
        }
        return &l;
    }

    // A provider or place named in an NM1 with its reference numbers.
    const LoopDef* named(std::string id, std::string name, std::string entity, std::string codes,
                         std::string types, bool address = false, bool nineDigitZip = false) {
        std::vector<Entry> entries = {seg("NM1", codes, 1, 1, "1 2=" + types + " ?8=XX")};
        if (address) {
            entries.push_back(seg("N3", "", 1, 1));
            entries.push_back(seg("N4", "", 1, 1));
        }
        entries.push_back(seg("PRV", "", 0, 1, "?2=PXC"));
        entries.push_back(seg("REF", "", 0, 4, "2"));
        entries.push_back(seg("PER", "IC", 0, 1, "3=EM,FX,TE 4"));
        return loop(std::move(id), std::move(name), std::move(entity), LoopTag::None,
                    std::move(entries), false, nineDigitZip);
    }

private:
    std::deque<LoopDef> loops_;
};

// What the three guides share above the claim: the billing provider, subscriber, payer
// and patient loops around `claim`.
const LoopDef* hierarchy(Builder& b, FileKind kind, const LoopDef* claim) {
    const bool professional = kind == FileKind::Professional;
    const LoopDef* patientName =
        b.loop("2010CA", "Patient Name", "Patient", LoopTag::PatientName,
               {seg("NM1", "QC", 1, 1, "2=1 3"), seg("N3", "", 1, 1), seg("N4", "", 1, 1),
                seg("DMG", "", 1, 1, "1=D8 2 3=F,M,U"), seg("REF", "Y4 1W SY", 0, 2, "2")});
    const LoopDef* patient =
        b.loop("2000C", "Patient Hierarchical Level", "Patient", LoopTag::Patient,
               {seg("HL", "23", 1, 1, "1 2 4=0"),
                seg("PAT", "", 1, 1, "1=01,19,20,21,39,40,53,G8 ?5=D8 ?7=01 ?9=Y"),
                sub(patientName, 1, 1), sub(claim, 1, 100)});
    const LoopDef* subscriberName = b.loop(
        "2010BA", "Subscriber Name", "Subscriber", LoopTag::SubscriberName,
        {seg("NM1", "IL", 1, 1, "2=1,2 3 8=II,MI 9"), seg("N3", "", 0, 1), seg("N4", "", 0, 1),
         seg("DMG", "", 0, 1, "1=D8 2 3=F,M,U"), seg("REF", "SY Y4", 0, 2, "2")});
    const LoopDef* payerName =
        b.loop("2010BB", "Payer Name", "Payer", LoopTag::None,
               {seg("NM1", "PR", 1, 1, "2=2 3 8=PI,XV 9"), seg("N3", "", 0, 1), seg("N4", "", 0, 1),
                seg("REF", "2U EI FY NF G2 LU", 0, 5, "2")});
    std::vector<Entry> subscriber = {
        seg("HL", "22", 1, 1, "1 2 4=0,1"),
        seg("SBR", "", 1, 1,
            "1=" + kResponsibility + " ?2=18 ?5=" + kInsuranceType + " 9=" + kFiling)};
    if (professional) subscriber.push_back(seg("PAT", "", 0, 1, "?5=D8 ?7=01 ?9=Y"));
    for (const Entry& e : {sub(subscriberName, 1, 1), sub(payerName, 1, 1), sub(claim, 0, 100),
                           sub(patient, 0, kUnbounded)})
        subscriber.push_back(e);
    const LoopDef* subscriberLevel = b.loop("2000B", "Subscriber Hierarchical Level", "Subscriber",
                                            LoopTag::Subscriber, subscriber);

    const LoopDef* billingName =
        b.loop("2010AA", "Billing Provider Name", "Billing Provider", LoopTag::BillingProviderName,
               {seg("NM1", "85", 1, 1, "2=1,2 3 8=XX 9"), seg("N3", "", 1, 1), seg("N4", "", 1, 1),
                seg("REF", "EI SY", 1, 1, "2"), seg("REF", "0B 1G LU", 0, 2, "2"),
                seg("PER", "IC", 0, 2, "3=EM,FX,TE 4 ?5=EM,EX,FX,TE ?7=EM,EX,FX,TE")},
               true, true);
    const LoopDef* payTo =
        b.loop("2010AB", "Pay-to Address Name", "Pay-to Address", LoopTag::None,
               {seg("NM1", "87", 1, 1, "2=1,2"), seg("N3", "", 1, 1), seg("N4", "", 1, 1)});
    const LoopDef* payToPlan =
        b.loop("2010AC", "Pay-to Plan Name", "Pay-to Plan", LoopTag::None,
               {seg("NM1", "PE", 1, 1, "2=2 3 8=PI,XV 9"), seg("N3", "", 1, 1), seg("N4", "", 1, 1),
                seg("REF", "2U FY NF", 0, 1, "2"), seg("REF", "EI", 1, 1, "2")});
    const LoopDef* billing =
        b.loop("2000A", "Billing Provider Hierarchical Level", "Billing Provider",
               LoopTag::BillingProvider,
               {seg("HL", "20", 1, 1, "1 4=1"), seg("PRV", "BI", 0, 1, "2=PXC 3"),
                seg("CUR", "85", 0, 1, "2"), sub(billingName, 1, 1), sub(payTo, 0, 1),
                sub(payToPlan, 0, 1), sub(subscriberLevel, 1, kUnbounded)});

    const LoopDef* submitter =
        b.loop("1000A", "Submitter Name", "Submitter", LoopTag::None,
               {seg("NM1", "41", 1, 1, "2=1,2 3 8=46 9"),
                seg("PER", "IC", 1, 2, "3=EM,FX,TE 4 ?5=EM,EX,FX,TE ?7=EM,EX,FX,TE")});
    const LoopDef* receiver = b.loop("1000B", "Receiver Name", "Receiver", LoopTag::None,
                                     {seg("NM1", "40", 1, 1, "2=2 3 8=46 9")});
    return b.loop(
        "", "", "", LoopTag::Transaction,
        {seg("ST", "", 1, 1, "1=837 2 3"), seg("BHT", "", 1, 1, "1=0019 2=00,18 3 4 5 6=31,CH,RP"),
         sub(submitter, 1, 1), sub(receiver, 1, 1), sub(billing, 1, kUnbounded)});
}

// 2320 and its 2330 loops; `providers` are the other payer's provider loops (2330C on).
const LoopDef* otherSubscriber(Builder& b, FileKind kind,
                               const std::vector<std::pair<std::string, std::string>>& providers) {
    std::vector<Entry> entries = {seg("SBR", "", 1, 1,
                                      "1=" + kResponsibility + " 2=" + kRelationship +
                                          " ?5=" + kInsuranceType + " 9=" + kFiling),
                                  seg("CAS", "", 0, 5, kAdjustment),
                                  seg("AMT", "D A8 EAF", 0, 3, "2"),
                                  seg("OI", "", 1, 1, "3=N,W,Y ?4=P 6=I,Y")};
    if (kind == FileKind::Institutional) entries.push_back(seg("MIA", "", 0, 1, "1"));
    entries.push_back(seg("MOA", "", 0, 1));
    entries.push_back(
        sub(b.loop("2330A", "Other Subscriber Name", "Other Insured", LoopTag::OtherSubscriberName,
                   {seg("NM1", "IL", 1, 1, "2=1,2 3 8=II,MI 9"), seg("N3", "", 0, 1),
                    seg("N4", "", 0, 1), seg("REF", "SY", 0, 1, "2")}),
            1, 1));
    entries.push_back(sub(
        b.loop("2330B", "Other Payer Name", "Other Payer", LoopTag::OtherPayerName,
               {seg("NM1", "PR", 1, 1, "2=2 3 8=PI,XV 9"), seg("N3", "", 0, 1), seg("N4", "", 0, 1),
                seg("DTP", "573", 0, 1, "2=D8 3"), seg("REF", "", 0, 6, "2")}),
        1, 1));
    char letter = 'C';
    for (const auto& [codes, entity] : providers) {
        const LoopDef* l =
            b.loop(std::string("2330") + letter++, "Other Payer " + entity, "Other Payer " + entity,
                   LoopTag::None, {seg("NM1", codes, 1, 1, "2"), seg("REF", "", 1, 3, "2")});
        entries.push_back(sub(l, 0, codes == "DN P3" ? 2 : 1));
    }
    return b.loop("2320", "Other Subscriber Information", "Other Subscriber",
                  LoopTag::OtherSubscriber, entries);
}

const LoopDef* lineAdjudication(Builder& b) {
    return b.loop(
        "2430", "Line Adjudication Information", "", LoopTag::LineAdjudication,
        {seg("SVD", "", 1, 1, "1 2 ?3.1=AD,ER,HC,HP,IV,NU,WK 5"), seg("CAS", "", 0, 5, kAdjustment),
         seg("DTP", "573", 1, 1, "2=D8 3"), seg("AMT", "EAF", 0, 1, "2")});
}

const LoopDef* drug(Builder& b) {
    return b.loop("2410", "Drug Identification", "", LoopTag::None,
                  {seg("LIN", "", 1, 1, "2=N4 3"), seg("CTP", "", 1, 1, "4 5.1=F2,GR,ME,ML,UN"),
                   seg("REF", "VY XZ", 0, 1, "2")});
}

const LoopDef* professional(Builder& b) {
    const LoopDef* line = b.loop(
        "2400", "Service Line Number", "", LoopTag::ServiceLine,
        {seg("LX", "", 1, 1, "1"),
         seg("SV1", "", 1, 1, "1.1=ER,HC,IV,WK 1.2 2 3=MJ,UN 4 7.1 ?9=Y ?11=Y ?12=Y"),
         seg("SV5", "", 0, 1, "1.1=HC 2=DA 3"),
         seg("PWK", "", 0, 10, "2"),
         seg("CR1", "", 0, 1, "?1=LB ?4=A,B,C,D,E 5=DH 6"),
         seg("CR3", "", 0, 1, "1=I,R,S 2=MO 3"),
         seg("CRC", "07 70 09", 0, 3, "2=N,Y 3"),
         seg("DTP", "472", 1, 1, "2=D8,RD8 3"),
         seg("DTP", "471 607 463 461 304 738 739 011 455 454", 0, 11, "2=D8 3"),
         seg("QTY", "PT FL", 0, 2, "2"),
         seg("MEA", "", 0, 5, "1=OG,TR 2=HT,R1,R2,R3,R4 3"),
         seg("CN1", "", 0, 1),
         seg("REF", "", 0, 17, "2"),
         seg("AMT", "T F4", 0, 2, "2"),
         seg("K3", "", 0, 10),
         seg("NTE", "ADD DCP TPO", 0, 2, "2"),
         seg("PS1", "", 0, 1),
         seg("HCP", "", 0, 1, "2"),
         sub(drug(b), 0, 1),
         sub(b.named("2420A", "Rendering Provider Name", "Rendering Provider", "82", "1,2"), 0, 1),
         sub(b.named("2420B", "Purchased Service Provider Name", "Purchased Service Provider", "QB",
                     "1,2"),
             0, 1),
         sub(b.named("2420C", "Service Facility Location Name", "Service Facility", "77", "2",
                     true),
             0, 1),
         sub(b.named("2420D", "Supervising Provider Name", "Supervising Provider", "DQ", "1"), 0,
             1),
         sub(b.named("2420E", "Ordering Provider Name", "Ordering Provider", "DK", "1"), 0, 1),
         sub(b.named("2420F", "Referring Provider Name", "Referring Provider", "DN P3", "1"), 0, 2),
         sub(b.named("2420G", "Ambulance Pick-up Location", "Ambulance Pick-up Location", "PW", "2",
                     true),
             0, 1),
         sub(b.named("2420H", "Ambulance Drop-off Location", "Ambulance Drop-off Location", "45",
                     "2", true),
             0, 1),
         sub(lineAdjudication(b), 0, 15),
         sub(b.loop("2440", "Form Identification Code", "", LoopTag::None,
                    {seg("LQ", "AS UT", 1, 1, "2"), seg("FRM", "", 1, 99, "1")}),
             0, kUnbounded)});
    const LoopDef* other = otherSubscriber(b, FileKind::Professional,
                                           {{"DN P3", "Referring Provider"},
                                            {"82", "Rendering Provider"},
                                            {"77", "Service Facility Location"},
                                            {"DQ", "Supervising Provider"},
                                            {"85", "Billing Provider"}});
    return b.loop(
        "2300", "Claim Information", "", LoopTag::Claim,
        {seg("CLM", "", 1, 1,
             "1 2 5.1 5.2=B 5.3=1,6,7,8 6=N,Y 7=A,B,C 8=N,W,Y 9=I,Y ?10=P ?11.1-3=AA,EM,OA "
             "?12=02,03,05,09 ?20=" +
                 kDelay),
         seg("DTP", "431 454 304 453 439 484 455 471 314 360 361 297 296 435 096 090 091 444 050",
             0, 19, "2=D8,RD8 3"),
         seg("PWK", "", 0, 10, "2"),
         seg("CN1", "", 0, 1),
         seg("AMT", "F5", 0, 1, "2"),
         seg("REF", "4N F5 EW 9F G1 F8 X4 9A 9C LX D9 EA P4 1J", 0, 14, "2"),
         seg("K3", "", 0, 10),
         seg("NTE", "ADD CER DCP DGN TPO", 0, 1, "2"),
         seg("CR1", "", 0, 1, "?1=LB ?4=A,B,C,D,E 5=DH 6"),
         seg("CR2", "", 0, 1),
         seg("CRC", "07 E1 E2 E3 75 ZZ", 0, 8, "2=N,Y 3"),
         seg("HI", "ABK BK", 1, 1, "1.2 ?2-12.1=ABF,BF"),
         seg("HI", "BP", 0, 1, "1.2 ?2.1=BO"),
         seg("HI", "BG", 0, 2, "1.2 ?2-12.1=BG"),
         seg("HCP", "", 0, 1, "2"),
         sub(b.named("2310A", "Referring Provider Name", "Referring Provider", "DN P3", "1"), 0, 2),
         sub(b.named("2310B", "Rendering Provider Name", "Rendering Provider", "82", "1,2"), 0, 1),
         sub(b.named("2310C", "Service Facility Location Name", "Service Facility", "77", "2", true,
                     true),
             0, 1),
         sub(b.named("2310D", "Supervising Provider Name", "Supervising Provider", "DQ", "1"), 0,
             1),
         sub(b.named("2310E", "Ambulance Pick-up Location", "Ambulance Pick-up Location", "PW", "2",
                     true),
             0, 1),
         sub(b.named("2310F", "Ambulance Drop-off Location", "Ambulance Drop-off Location", "45",
                     "2", true),
             0, 1),
         sub(other, 0, 10),
         sub(line, 1, 50)});
}

const LoopDef* institutional(Builder& b) {
    const LoopDef* line = b.loop(
        "2400", "Service Line Number", "", LoopTag::ServiceLine,
        {seg("LX", "", 1, 1, "1"), seg("SV2", "", 1, 1, "1 ?2.1=ER,HC,HP,IV,WK 3 4=DA,UN 5"),
         seg("PWK", "", 0, 10, "2"), seg("DTP", "472", 0, 1, "2=D8,RD8 3"),
         seg("REF", "", 0, 7, "2"), seg("AMT", "GT N8", 0, 2, "2"), seg("NTE", "TPO", 0, 1, "2"),
         seg("HCP", "", 0, 1, "2"), sub(drug(b), 0, 1),
         sub(b.named("2420A", "Operating Physician Name", "Operating Physician", "72", "1"), 0, 1),
         sub(b.named("2420B", "Other Operating Physician Name", "Other Operating Physician", "ZZ",
                     "1"),
             0, 1),
         sub(b.named("2420C", "Rendering Provider Name", "Rendering Provider", "82", "1"), 0, 1),
         sub(b.named("2420D", "Referring Provider Name", "Referring Provider", "DN", "1"), 0, 1),
         sub(lineAdjudication(b), 0, 15)});
    const LoopDef* other = otherSubscriber(b, FileKind::Institutional,
                                           {{"71", "Attending Provider"},
                                            {"72", "Operating Physician"},
                                            {"ZZ", "Other Operating Physician"},
                                            {"77", "Service Facility Location"},
                                            {"82", "Rendering Provider"},
                                            {"DN", "Referring Provider"},
                                            {"85", "Billing Provider"}});
    return b.loop(
        "2300", "Claim Information", "", LoopTag::Claim,
        {seg("CLM", "", 1, 1, "1 2 5.1 5.2=A 5.3 7=A,B,C 8=N,W,Y 9=I,Y ?20=" + kDelay),
         seg("DTP", "096", 0, 1, "2=TM 3"),
         seg("DTP", "434", 1, 1, "2=RD8 3"),
         seg("DTP", "435", 0, 1, "2=D8,DT 3"),
         seg("DTP", "050", 0, 1, "2=D8 3"),
         seg("CL1", "", 1, 1, "3"),
         seg("PWK", "", 0, 10, "2"),
         seg("CN1", "", 0, 1),
         seg("AMT", "F3", 0, 1, "2"),
         seg("REF", "4N 9F G1 F8 9A 9C LX D9 DD P4 EA", 0, 11, "2"),
         seg("K3", "", 0, 10),
         seg("NTE", "", 0, 11, "1 2"),
         seg("CRC", "ZZ", 0, 1, "2=N,Y 3"),
         seg("HI", "ABK BK", 1, 1, "1.2"),
         seg("HI", "ABJ BJ APR PR ABN BN DR ABF BF BBR BR CAH BBQ BQ BI BH BE BG TC", 0, 30, "1.2"),
         seg("HCP", "", 0, 1, "2"),
         sub(b.named("2310A", "Attending Provider Name", "Attending Provider", "71", "1"), 0, 1),
         sub(b.named("2310B", "Operating Physician Name", "Operating Physician", "72", "1"), 0, 1),
         sub(b.named("2310C", "Other Operating Physician Name", "Other Operating Physician", "ZZ",
                     "1"),
             0, 1),
         sub(b.named("2310D", "Rendering Provider Name", "Rendering Provider", "82", "1"), 0, 1),
         sub(b.named("2310E", "Service Facility Location Name", "Service Facility", "77", "2", true,
                     true),
             0, 1),
         sub(b.named("2310F", "Referring Provider Name", "Referring Provider", "DN", "1"), 0, 1),
         sub(other, 0, 10),
         sub(line, 1, 999)});
}

const LoopDef* dental(Builder& b) {
    const LoopDef* line = b.loop(
        "2400", "Service Line Number", "", LoopTag::ServiceLine,
        {seg("LX", "", 1, 1, "1"),
         seg("SV3", "", 1, 1, "1.1=AD 1.2 2 ?4.1-5=00,01,02,09,10,20,30,40,L,R ?5=I,R"),
         seg("TOO", "JP", 0, 32, "2 ?3.1-5=B,D,F,I,L,M,O"), seg("DTP", "472", 0, 1, "2=D8,RD8 3"),
         seg("DTP", "441 452 446 196 198", 0, 5, "2=D8 3"), seg("QTY", "", 0, 5, "2"),
         seg("REF", "", 0, 8, "2"), seg("AMT", "T", 0, 1, "2"), seg("NTE", "", 0, 1, "2"),
         seg("HCP", "", 0, 1, "2"),
         sub(b.named("2420A", "Rendering Provider Name", "Rendering Provider", "82", "1"), 0, 1),
         sub(b.named("2420B", "Assistant Surgeon Name", "Assistant Surgeon", "DD", "1"), 0, 1),
         sub(b.named("2420C", "Supervising Provider Name", "Supervising Provider", "DQ", "1"), 0,
             1),
         sub(b.named("2420D", "Service Facility Location Name", "Service Facility", "77", "2",
                     true),
             0, 1),
         sub(lineAdjudication(b), 0, 15)});
    const LoopDef* other = otherSubscriber(b, FileKind::Dental,
                                           {{"DN P3", "Referring Provider"},
                                            {"82", "Rendering Provider"},
                                            {"DQ", "Supervising Provider"},
                                            {"85", "Billing Provider"},
                                            {"77", "Service Facility Location"},
                                            {"DD", "Assistant Surgeon"}});
    return b.loop(
        "2300", "Claim Information", "", LoopTag::Claim,
        {seg("CLM", "", 1, 1,
             "1 2 5.1 5.2=B 5.3=1,6,7,8 6=N,Y 7=A,B,C 8=N,W,Y 9=I,Y ?11.1-3=AA,EM,OA "
             "?12=02,03,05,09 ?19=PB ?20=" +
                 kDelay),
         seg("DTP", "439 452 472 050 096 196 198 441 446", 0, 9, "2=D8,RD8 3"),
         seg("DN1", "", 0, 1), seg("DN2", "", 0, 35, "1 2=E,M ?4=JP"), seg("PWK", "", 0, 10, "2"),
         seg("CN1", "", 0, 1), seg("AMT", "F5", 0, 1, "2"), seg("REF", "", 0, 10, "2"),
         seg("NTE", "", 0, 1, "2"), seg("HI", "ABK BK", 0, 1, "1.2 ?2-12.1=ABF,BF"),
         seg("HCP", "", 0, 1, "2"),
         sub(b.named("2310A", "Referring Provider Name", "Referring Provider", "DN P3", "1"), 0, 2),
         sub(b.named("2310B", "Rendering Provider Name", "Rendering Provider", "82", "1"), 0, 1),
         sub(b.named("2310C", "Service Facility Location Name", "Service Facility", "77", "2", true,
                     true),
             0, 1),
         sub(b.named("2310D", "Assistant Surgeon Name", "Assistant Surgeon", "DD", "1"), 0, 1),
         sub(b.named("2310E", "Supervising Provider Name", "Supervising Provider", "DQ", "1"), 0,
             1),
         sub(other, 0, 10), sub(line, 1, 50)});
}

struct Guides {
    Builder builder;
    std::vector<Guide> guides;
    Guides() {
        guides.push_back({FileKind::Professional, "005010X222A1",
                          hierarchy(builder, FileKind::Professional, professional(builder))});
        guides.push_back({FileKind::Institutional, "005010X223A2",
                          hierarchy(builder, FileKind::Institutional, institutional(builder))});
        guides.push_back({FileKind::Dental, "005010X224A2",
                          hierarchy(builder, FileKind::Dental, dental(builder))});
    }
};

}  // namespace

namespace {
bool isAmong(const std::vector<std::uint64_t>& keys, std::string_view v) {
    const std::uint64_t k = codeKey(v);
    for (const std::uint64_t key : keys)
        if (key == k) return k != 0;
    return false;
}
}  // namespace

bool Item::selects(std::string_view qualifier) const {
    return qualifierKeys.empty() || isAmong(qualifierKeys, qualifier);
}

bool UsageRule::allows(std::string_view v) const {
    return codeKeys.empty() || isAmong(codeKeys, v);
}

const Guide* findGuide(std::string_view version) {
    static const Guides all;
    for (const Guide& g : all.guides)
        if (g.version == version) return &g;
    return nullptr;
}

Position qualifierPosition(std::uint32_t key) {
    switch (key) {
        case segmentKey("HL"):
            return {3, 0};
        case segmentKey("HI"):
            return {1, 1};
        case segmentKey("NM1"):
        case segmentKey("REF"):
        case segmentKey("DTP"):
        case segmentKey("AMT"):
        case segmentKey("CRC"):
        case segmentKey("QTY"):
        case segmentKey("NTE"):
        case segmentKey("PER"):
        case segmentKey("LQ"):
        case segmentKey("CUR"):
        case segmentKey("PRV"):
        case segmentKey("TOO"):
            return {1, 0};
        default:
            return {};
    }
}

}  // namespace zv::x12::check
