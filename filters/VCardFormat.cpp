#include "filters/VCardFormat.h"

#include <cstdio>
#include <set>

#include "filters/ContentLines.h"
#include "model/RecordKind.h"

namespace tessera::filters {

namespace {

const char* const kFullWidthSpace = "\xE3\x80\x80";

// The value of `tag` in `record` as a CSV cell would hold it; empty when the set lacks it.
std::string Cell(const CRecordSet& set, const CDataRecord& record, const char* tag) {
    const int i = set.FindTag(MakeTag(tag));
    return i < 0 ? std::string() : CellText(record, i);
}

// Family and given name from a display name: split at the first (full-width) space.
void SplitName(const std::string& name, std::string& family, std::string& given) {
    std::size_t at = name.find(' ');
    std::size_t width = 1;
    const std::size_t wide = name.find(kFullWidthSpace);
    if (wide != std::string::npos && (at == std::string::npos || wide < at)) {
        at = wide;
        width = 3;
    }
    if (at == std::string::npos) {
        family = name;
        given.clear();
        return;
    }
    family = name.substr(0, at);
    given = name.substr(at + width);
}

std::string Bday(const CRecordSet& set, const CDataRecord& record, bool& fits) {
    fits = true;
    const int i = set.FindTag(MakeTag("BRTH"));
    if (i < 0)
        return {};
    const auto* field = dynamic_cast<const CTimeField*>(record.FieldAt(i));
    if (field == nullptr || !field->IsSet())
        return {};
    const DateTimeValue& v = field->Value();
    const int flags = v.flags & (DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay);
    char buf[32];
    if (flags == (DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay))
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", v.year, v.month, v.day);
    else if (flags == (DateTimeValue::kMonth | DateTimeValue::kDay))
        std::snprintf(buf, sizeof buf, "--%02d%02d", v.month, v.day);
    else {
        fits = false;
        return {};
    }
    return buf;
}

// The tags written as properties of their own; every other one goes as X-TESSERA-<tag>.
const std::set<std::string> kMapped = {"SCRT", "NAME", "NAPR", "TEL1", "FAX1", "OFCE",
                                       "SCTN", "PSTN", "ZIPC", "ADR1", "BRTH", "RMRK"};

void Prop(std::string& out, const std::string& nameAndParams, const std::string& value) {
    AppendFolded(out, nameAndParams + ":" + value);
}

} // namespace

bool ExportVCard(const CRecordSet& set, std::string& out, Failure&) {
    out.clear();
    const bool cards = set.Kind() == kKindBusinessCard;
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord& rec = *set.RecordAt(r);
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        Prop(out, "PRODID", "-//Quillon//Tessera//JA");
        const std::string name = Cell(set, rec, "NAME");
        std::string family, given;
        SplitName(name, family, given);
        Prop(out, "N", EscapeText(family) + ";" + EscapeText(given) + ";;;");
        Prop(out, "FN", EscapeText(name));
        if (const std::string s = Cell(set, rec, "NAPR"); !s.empty())
            Prop(out, "SORT-STRING", EscapeText(s));
        if (const std::string s = Cell(set, rec, "TEL1"); !s.empty())
            Prop(out, "TEL;TYPE=VOICE", EscapeText(s));
        if (const std::string s = Cell(set, rec, "FAX1"); !s.empty())
            Prop(out, "TEL;TYPE=FAX", EscapeText(s));
        const std::string org = Cell(set, rec, "OFCE"), unit = Cell(set, rec, "SCTN");
        if (!org.empty() || !unit.empty())
            Prop(out, "ORG", EscapeText(org) + (unit.empty() ? "" : ";" + EscapeText(unit)));
        if (const std::string s = Cell(set, rec, "PSTN"); !s.empty())
            Prop(out, "TITLE", EscapeText(s));
        const std::string zip = Cell(set, rec, "ZIPC"), adr = Cell(set, rec, "ADR1");
        if (!zip.empty() || !adr.empty())
            Prop(out, cards ? "ADR;TYPE=WORK" : "ADR;TYPE=HOME",
                 ";;" + EscapeText(adr) + ";;;" + EscapeText(zip) + ";");
        bool bdayFits = true;
        if (const std::string b = Bday(set, rec, bdayFits); !b.empty())
            Prop(out, "BDAY", b);
        if (const std::string s = Cell(set, rec, "RMRK"); !s.empty())
            Prop(out, "NOTE", EscapeText(s));
        if (Cell(set, rec, "SCRT") == "*")
            Prop(out, "CLASS", "PRIVATE");
        for (int i = 0; i < set.FieldCount(); ++i) {
            const std::string& tag = set.Tags()[static_cast<std::size_t>(i)];
            if (kMapped.count(tag) != 0 && !(tag == "BRTH" && !bdayFits))
                continue;
            if (const std::string s = CellText(rec, i); !s.empty())
                Prop(out, "X-TESSERA-" + tag, EscapeText(s));
        }
        out += "END:VCARD\r\n";
    }
    return true;
}

namespace {

struct Card {
    std::map<std::string, std::string> values; // tag -> cell text (UTF-8)
    std::string n;                             // the N value when there is no FN
    bool needsCards = false;
    int lineNo = 0;
};

bool Put(Card& card, const std::string& tag, const std::string& value, const ContentLine& line,
         Failure& failure) {
    if (value.empty())
        return true;
    if (!card.values.emplace(tag, value).second) {
        failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": a second " + line.name +
                                    " has no place in the record"};
        return false;
    }
    return true;
}

std::string JoinNonEmpty(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty())
            continue;
        if (!out.empty())
            out += sep;
        out += p;
    }
    return out;
}

// "1968-04-12", "19680412", "--0412", "--04-12" (a time part is cut off) -> the cell text
// of a date: "19680412" or "    0412".
bool BdayCell(std::string value, std::string& cell) {
    if (const std::size_t t = value.find('T'); t != std::string::npos)
        value = value.substr(0, t);
    std::string digits;
    const bool noYear = value.rfind("--", 0) == 0;
    for (char c : noYear ? value.substr(2) : value) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != '-')
            return false;
    }
    if (noYear && digits.size() == 4) {
        cell = "    " + digits;
        return true;
    }
    if (!noYear && digits.size() == 8) {
        cell = digits;
        return true;
    }
    return false;
}

} // namespace

bool ImportVCard(std::string_view in, CRecordSet& set, Failure& failure) {
    std::vector<ContentLine> lines;
    if (!ParseContentLines(in, lines, failure))
        return false;
    std::vector<Card> cards;
    Card* card = nullptr;
    bool haveSortString = false;
    std::string phoneticLast, phoneticFirst;
    auto finishPhonetic = [&](Card& c) -> bool {
        if (!haveSortString && (!phoneticLast.empty() || !phoneticFirst.empty()))
            c.values["NAPR"] = JoinNonEmpty({phoneticLast, phoneticFirst}, " ");
        return true;
    };
    for (const ContentLine& line : lines) {
        const std::string& name = line.name;
        if (name == "BEGIN" && ToUpperAscii(line.value) == "VCARD") {
            if (card != nullptr) {
                failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": a vCard inside a vCard"};
                return false;
            }
            cards.emplace_back();
            card = &cards.back();
            card->lineNo = line.lineNo;
            haveSortString = false;
            phoneticLast.clear();
            phoneticFirst.clear();
            continue;
        }
        if (card == nullptr) {
            failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": " + name + " outside a vCard"};
            return false;
        }
        if (line.params.count("ENCODING") != 0 && ToUpperAscii(line.params.at("ENCODING").front()) != "8BIT") {
            failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": encoded values are not read"};
            return false;
        }
        const std::string text = UnescapeText(line.value);
        bool ok = true;
        if (name == "END" && ToUpperAscii(line.value) == "VCARD") {
            finishPhonetic(*card);
            card = nullptr;
        } else if (name == "VERSION" || name == "PRODID" || name == "UID" || name == "REV") {
            // about the file, not the person
        } else if (name == "FN") {
            ok = Put(*card, "NAME", text, line, failure);
        } else if (name == "N") {
            const std::vector<std::string> p = SplitStructured(line.value, ';');
            std::vector<std::string> order;
            for (int i : {3, 0, 1, 2, 4})
                if (static_cast<std::size_t>(i) < p.size())
                    order.push_back(p[static_cast<std::size_t>(i)]);
            card->n = JoinNonEmpty(order, " ");
        } else if (name == "SORT-STRING") {
            haveSortString = true;
            ok = Put(*card, "NAPR", text, line, failure);
        } else if (name == "X-PHONETIC-LAST-NAME") {
            phoneticLast = text;
        } else if (name == "X-PHONETIC-FIRST-NAME") {
            phoneticFirst = text;
        } else if (name == "TEL") {
            const bool fax = line.HasType("FAX");
            card->needsCards |= fax;
            ok = Put(*card, fax ? "FAX1" : "TEL1", text, line, failure);
        } else if (name == "ORG") {
            const std::vector<std::string> p = SplitStructured(line.value, ';');
            if (p.size() > 2 && !JoinNonEmpty({p.begin() + 2, p.end()}, "").empty()) {
                failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": ORG has more units than the record holds"};
                return false;
            }
            card->needsCards = true;
            ok = Put(*card, "OFCE", p.empty() ? "" : p[0], line, failure) &&
                 Put(*card, "SCTN", p.size() > 1 ? p[1] : "", line, failure);
        } else if (name == "TITLE") {
            card->needsCards = true;
            ok = Put(*card, "PSTN", text, line, failure);
        } else if (name == "ADR") {
            std::vector<std::string> p = SplitStructured(line.value, ';');
            p.resize(7);
            // Japanese order: region, locality, street, then the rest.
            ok = Put(*card, "ADR1", JoinNonEmpty({p[4], p[3], p[2], p[1], p[0], p[6]}, " "), line, failure) &&
                 Put(*card, "ZIPC", p[5], line, failure);
        } else if (name == "BDAY") {
            std::string cell;
            if (!BdayCell(text, cell)) {
                failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": BDAY '" + text + "' is no date"};
                return false;
            }
            ok = Put(*card, "BRTH", cell, line, failure);
        } else if (name == "NOTE") {
            ok = Put(*card, "RMRK", text, line, failure);
        } else if (name == "CLASS") {
            const std::string c = ToUpperAscii(text);
            if (c == "PRIVATE" || c == "CONFIDENTIAL")
                ok = Put(*card, "SCRT", "*", line, failure);
            else if (c != "PUBLIC") {
                failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": CLASS " + text + " has no place in the record"};
                return false;
            }
        } else if (name.rfind("X-TESSERA-", 0) == 0 && name.size() == 14) {
            const std::string tag = name.substr(10);
            if (tag == "OFPR" || tag == "ASCT")
                card->needsCards = true;
            ok = Put(*card, tag, text, line, failure);
        } else {
            failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": " + name +
                                        " has no place in the records"};
            return false;
        }
        if (!ok)
            return false;
    }
    if (card != nullptr) {
        failure = {kExitBadInput, "the last vCard has no END"};
        return false;
    }

    bool anyCard = false;
    for (const Card& c : cards)
        anyCard |= c.needsCards;
    set.SetKind(anyCard ? kKindBusinessCard : kKindPhoneBook);
    RecordList records;
    int number = 0;
    for (Card& c : cards) {
        ++number;
        if (c.values.count("NAME") == 0 && !c.n.empty())
            c.values["NAME"] = c.n;
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record) {
            failure = {kExitImport, "out of memory"};
            return false;
        }
        for (const auto& [tag, value] : c.values) {
            const int i = set.FindTag(MakeTag(tag));
            if (i < 0 || tag.size() != 4) {
                failure = {kExitImport, "vCard " + std::to_string(number) + ": the records have no field " + tag};
                return false;
            }
            if (!ParseCellText(*record, i, value, number, tag, failure))
                return false;
        }
        records.push_back(std::move(record));
    }
    if (!records.empty())
        set.InsertRecords(-1, std::move(records));
    return true;
}

FormatOps VCardOps() {
    FormatOps ops;
    ops.name = "tsr-vcard";
    ops.handlesKind = [](int kind) { return kind == kKindPhoneBook || kind == kKindBusinessCard; };
    ops.exportSet = ExportVCard;
    ops.importSet = ImportVCard;
    return ops;
}

} // namespace tessera::filters
