#include "filters/VCardFormat.h"

#include "filters/ContentLines.h"
#include "model/RecordKind.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>

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

// The BDAY value of the record: a real date always. A day the month does not have (the
// device takes April 31) goes out as the month's last day; `exact` is then true and the
// device's own value travels in X-TESSERA-BRTH.
std::string Bday(const CRecordSet& set, const CDataRecord& record, bool& fits, bool& moved) {
    fits = true;
    moved = false;
    const int i = set.FindTag(MakeTag("BRTH"));
    if (i < 0)
        return {};
    const auto* field = dynamic_cast<const CTimeField*>(record.FieldAt(i));
    if (field == nullptr || !field->IsSet())
        return {};
    const DateTimeValue& v = field->Value();
    const int flags =
        v.flags & (DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay);
    const bool withYear =
        flags == (DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay);
    if (!withYear && flags != (DateTimeValue::kMonth | DateTimeValue::kDay)) {
        fits = false;
        return {};
    }
    int day = v.day;
    const int last = DaysInMonth(withYear ? v.year : 0, v.month);
    if (day > last) {
        day = last;
        moved = true;
    }
    char buf[32];
    if (withYear)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", v.year, v.month, day);
    else
        std::snprintf(buf, sizeof buf, "--%02d%02d", v.month, day);
    return buf;
}

// The tags written as properties of their own; every other one goes as X-TESSERA-<tag>.
const std::set<std::string> kMapped = {"SCRT", "NAME", "NAPR", "TEL1", "FAX1", "OFCE",
                                       "SCTN", "PSTN", "ZIPC", "ADR1", "BRTH", "RMRK"};

bool Blank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

void Prop(std::string& out, const std::string& nameAndParams, const std::string& value) {
    AppendFolded(out, nameAndParams + ":" + value);
}

} // namespace

bool ExportVCard(const CRecordSet& set, std::string& out, Failure&) {
    out.clear();
    const bool cards = set.Kind() == kKindBusinessCard;
    std::map<std::string, int> uids;
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord& rec = *set.RecordAt(r);
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        Prop(out, "PRODID", "-//Quillon//Tessera//JA");
        // Servers refuse a card without one; made from the content, so it stays put.
        Prop(out, "UID", ContentUid(rec, set.Kind(), uids));
        const std::string name = Cell(set, rec, "NAME");
        std::string family, given;
        SplitName(name, family, given);
        Prop(out, "N", EscapeText(family) + ";" + EscapeText(given) + ";;;");
        if (Blank(name)) {
            // FN may not be blank for strict readers; say what stands in for the name, and
            // keep the name as it was for the way back.
            std::string stand;
            for (const char* tag : {"NAPR", "OFCE", "TEL1", "FAX1"})
                if (Blank(stand))
                    stand = NormalizeBreaks(Cell(set, rec, tag), " ");
            if (Blank(stand))
                stand = "-";
            Prop(out, "FN", EscapeText(stand));
            if (name.empty())
                Prop(out, "X-TESSERA-NONAME", "1");
            else
                Prop(out, "X-TESSERA-NAME", EscapeText(name));
            RunNotes().Record(r + 1, NoteText(kNoteNoName, {stand}));
        } else {
            Prop(out, "FN", EscapeText(name));
        }
        if (cards)
            Prop(out, "X-TESSERA-KIND", "2");
        if (const std::string s = Cell(set, rec, "NAPR"); !s.empty()) {
            Prop(out, "SORT-STRING", EscapeText(s));
            // Phone address books show these as the reading; import prefers SORT-STRING.
            std::string last, first;
            SplitName(s, last, first);
            Prop(out, "X-PHONETIC-LAST-NAME", EscapeText(last));
            if (!first.empty())
                Prop(out, "X-PHONETIC-FIRST-NAME", EscapeText(first));
        }
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
        bool bdayFits = true, bdayMoved = false;
        if (const std::string b = Bday(set, rec, bdayFits, bdayMoved); !b.empty()) {
            Prop(out, "BDAY", b);
            if (bdayMoved) {
                std::string shown; // the date as the table shows it, 1968/04/31
                rec.FormatField(set.FindTag(MakeTag("BRTH")), shown, true);
                RunNotes().Record(
                    r + 1,
                    NoteText(kNoteNearestDate, {ToUtf8(shown), b, std::string("X-TESSERA-BRTH")}));
            }
        }
        if (const std::string s = Cell(set, rec, "RMRK"); !s.empty())
            Prop(out, "NOTE", EscapeText(s));
        if (Cell(set, rec, "SCRT") == "*")
            Prop(out, "CLASS", "PRIVATE");
        for (int i = 0; i < set.FieldCount(); ++i) {
            const std::string& tag = set.Tags()[static_cast<std::size_t>(i)];
            if (kMapped.count(tag) != 0 && !(tag == "BRTH" && (!bdayFits || bdayMoved)))
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
    std::map<std::string, std::string> exact;  // X-TESSERA-<tag>: wins over the rest
    std::string n;                             // the N value when there is no FN
    std::string notes;                         // NOTE texts
    std::vector<std::string> memo;             // labelled lines for the remark
    std::map<int, std::string> readings;       // reading candidates, best (lowest) first
    std::map<std::string, std::string> labels; // group -> X-ABLabel
    bool needsCards = false;
    bool noName = false;
    bool v21 = false;
    int number = 0;
};

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
// of a date: "19680412" or "    0412". A year the device cannot hold is refused; the year
// 1604 is how some address books mark a birthday without one.
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
    if (!noYear && digits.size() == 8 && digits.substr(0, 4) == "1604")
        digits = digits.substr(4);
    else if (!noYear && digits.size() != 8)
        return false;
    if (digits.size() == 4 || noYear) {
        if (digits.size() != 4)
            return false;
        digits.insert(0, "    ");
    }
    const int year = digits[0] == ' ' ? 0 : std::stoi(digits.substr(0, 4));
    const int month = std::stoi(digits.substr(4, 2)), day = std::stoi(digits.substr(6, 2));
    if ((year != 0 && (year < 1901 || year > 2099)) || month < 1 || month > 12 || day < 1 ||
        day > 31)
        return false;
    cell = digits;
    return true;
}

// The kinds of a property in a label: TYPE values and vCard 2.1's bare words.
std::string Types(const ContentLine& line) {
    std::vector<std::string> words;
    for (const auto& [key, values] : line.params) {
        if (key == "TYPE") {
            for (const std::string& v : values)
                for (const std::string& part : SplitStructured(v, ','))
                    words.push_back(ToUpperAscii(part));
        } else if (values.empty() && key != "QUOTED-PRINTABLE" && key != "BASE64" &&
                   key != "8BIT") {
            words.push_back(key);
        }
    }
    return JoinNonEmpty(words, ",");
}

std::string Label(const Card& card, const ContentLine& line) {
    std::string label = line.name;
    std::string kinds = Types(line);
    if (const auto it = card.labels.find(line.group);
        !line.group.empty() && it != card.labels.end()) {
        std::string l = it->second;
        // Address books wrap their own labels as _$!<Home>!$_.
        if (l.rfind("_$!<", 0) == 0 && l.size() > 8)
            l = l.substr(4, l.size() - 8);
        kinds = JoinNonEmpty({kinds, l}, ",");
    }
    if (!kinds.empty())
        label += " (" + kinds + ")";
    return label;
}

void KeepInMemo(Card& card, const ContentLine& line, const std::string& text) {
    if (text.empty())
        return;
    const std::string label = Label(card, line);
    card.memo.push_back(label + ": " + NormalizeBreaks(text, " "));
    RunNotes().Record(card.number, NoteText(kNoteKeptInMemo, {label}));
}

// A tel: URI as the number it carries ("tel:+81-3-1234-5678;ext=12").
std::string TelNumber(const ContentLine& line, std::string text) {
    if (ToUpperAscii(line.Param("VALUE")) != "URI" || ToUpperAscii(text.substr(0, 4)) != "TEL:")
        return text;
    text = text.substr(4);
    std::string ext;
    if (const std::size_t semi = text.find(';'); semi != std::string::npos) {
        const std::string rest = text.substr(semi + 1);
        text = text.substr(0, semi);
        if (ToUpperAscii(rest.substr(0, 4)) == "EXT=")
            ext = rest.substr(4, rest.find(';') == std::string::npos ? std::string::npos
                                                                     : rest.find(';') - 4);
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return ext.empty() ? out : out + " ext. " + ext;
}

// vCard 2.1 has no backslash escapes but "\;" inside a structured value: a "\n" there is
// text (a Windows path), not a line break.
std::vector<std::string> Split21(std::string_view value) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == ';') {
            parts.back() += ';';
            ++i;
        } else if (value[i] == ';') {
            parts.emplace_back();
        } else {
            parts.back() += value[i];
        }
    }
    return parts;
}

std::string LineNo(const ContentLine& line) {
    return "line " + std::to_string(line.lineNo) + ": ";
}

// The value's bytes as UTF-8: transfer encoding first, then the character set. False (with
// a note) for a value that is not taken at all.
bool DecodeValue(const ContentLine& line, const Card& card, std::string& value) {
    const std::string& name = line.name;
    const std::string encoding = line.Encoding();
    std::string raw;
    if (encoding.empty() || encoding == "8BIT" || encoding == "7BIT") {
        raw = line.value;
    } else if (encoding == "QUOTED-PRINTABLE") {
        raw = DecodeQuotedPrintable(line.value);
    } else if (encoding == "B" || encoding == "BASE64") {
        RunNotes().Record(card.number, NoteText(kNoteLeftOut, {name}));
        return false;
    } else {
        RunNotes().Record(card.number, NoteText(kNoteUnknownEncoding, {name, encoding}));
        return false;
    }
    const std::string charset = line.Param("CHARSET");
    if (!CharsetToUtf8(raw, charset, value)) {
        if (IsUtf8(raw)) {
            RunNotes().Record(card.number, NoteText(kNoteUnknownCharset, {name, charset}));
            value = raw;
        } else {
            value = ToUtf8(raw); // undeclared 8-bit text from a Japanese phone
        }
    }
    return true;
}

// A value as plain text: vCard 2.1's "\;" kept as written, later versions unescaped.
std::string PlainText(const std::string& value, bool v21) {
    if (!v21)
        return UnescapeText(value);
    std::string text;
    const std::vector<std::string> parts = Split21(value);
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0)
            text += ';';
        text += parts[k];
    }
    return text;
}

// One property of a card, as its decoded value (`value`, structured) and its plain text.
struct Property {
    const ContentLine& line;
    const std::string& value;
    const std::string& text;
    std::vector<std::string> Parts(const Card& card) const {
        return card.v21 ? Split21(value) : SplitStructured(value, ';');
    }
};

// The names and their readings.
void TakeName(Card& card, const Property& p) {
    const std::string& name = p.line.name;
    if (name == "FN") {
        if (card.values.count("NAME") == 0 && !p.text.empty())
            card.values["NAME"] = p.text;
        else
            KeepInMemo(card, p.line, p.text);
    } else if (name == "N") {
        const std::vector<std::string> parts = p.Parts(card);
        std::vector<std::string> order;
        for (int i : {3, 0, 1, 2, 4})
            if (static_cast<std::size_t>(i) < parts.size())
                order.push_back(parts[static_cast<std::size_t>(i)]);
        card.n = JoinNonEmpty(order, " ");
        if (const auto it = p.line.params.find("SORT-AS"); it != p.line.params.end()) {
            std::vector<std::string> sortAs; // family, given: each may be quoted with its comma
            for (const std::string& v : it->second)
                for (const std::string& part : SplitStructured(v, ','))
                    sortAs.push_back(part);
            card.readings.emplace(2, JoinNonEmpty(sortAs, " "));
        }
    } else if (name == "SORT-STRING") {
        card.readings.emplace(1, p.text);
    } else if (name == "X-PHONETIC-LAST-NAME") {
        card.readings[3] = JoinNonEmpty({p.text, card.readings[3]}, " ");
    } else if (name == "X-PHONETIC-FIRST-NAME") {
        card.readings[3] = JoinNonEmpty({card.readings[3], p.text}, " ");
    } else { // SOUND;X-IRMC-N
        const std::vector<std::string> parts = p.Parts(card);
        card.readings.emplace(
            4, JoinNonEmpty({parts.size() > 0 ? parts[0] : "", parts.size() > 1 ? parts[1] : ""},
                            " "));
    }
}

void TakeTel(Card& card, const Property& p) {
    const std::string number = TelNumber(p.line, p.text);
    const bool fax = p.line.HasType("FAX");
    const char* tag = fax ? "FAX1" : "TEL1";
    if (!number.empty() && card.values.count(tag) == 0) {
        card.values[tag] = number;
        card.needsCards |= fax;
    } else {
        KeepInMemo(card, p.line, number);
    }
}

// Company, section and position.
void TakeWork(Card& card, const Property& p) {
    if (p.line.name == "TITLE") {
        if (card.values.count("PSTN") == 0 && !p.text.empty()) {
            card.values["PSTN"] = p.text;
            card.needsCards = true;
        } else {
            KeepInMemo(card, p.line, p.text);
        }
        return;
    }
    std::vector<std::string> parts = p.Parts(card);
    while (!parts.empty() && parts.back().empty())
        parts.pop_back(); // "ORG:Company;Unit;" as address books write it
    const bool first = card.values.count("OFCE") == 0 && card.values.count("SCTN") == 0;
    if (first && parts.size() <= 2) {
        if (!parts.empty() && !parts[0].empty())
            card.values["OFCE"] = parts[0];
        if (parts.size() > 1 && !parts[1].empty())
            card.values["SCTN"] = parts[1];
        card.needsCards |= !JoinNonEmpty(parts, "").empty();
    } else {
        KeepInMemo(card, p.line, JoinNonEmpty(parts, " "));
    }
}

void TakeAddress(Card& card, const Property& p) {
    std::vector<std::string> parts = p.Parts(card);
    parts.resize(7);
    // Japanese order: region, locality, street, then the rest.
    const std::string adr =
        JoinNonEmpty({parts[4], parts[3], parts[2], parts[1], parts[0], parts[6]}, " ");
    if (card.values.count("ADR1") == 0 && card.values.count("ZIPC") == 0) {
        if (!adr.empty())
            card.values["ADR1"] = adr;
        if (!parts[5].empty())
            card.values["ZIPC"] = parts[5];
    } else {
        KeepInMemo(card, p.line, JoinNonEmpty({parts[5], adr}, " "));
    }
}

// The properties of this program's own and the rest: birthday, notes, secrecy, pictures and
// whatever others write, kept in the remark.
void TakeOther(Card& card, const Property& p) {
    const std::string& name = p.line.name;
    const std::string& text = p.text;
    if (name == "BDAY") {
        std::string cell;
        if (card.values.count("BRTH") == 0 && BdayCell(text, cell)) {
            card.values["BRTH"] = cell;
        } else {
            card.memo.push_back("BDAY: " + text);
            RunNotes().Record(card.number, NoteText(kNoteBadValueInMemo, {name, text}));
        }
    } else if (name == "NOTE") {
        card.notes = JoinNonEmpty({card.notes, text}, "\r\n");
    } else if (name == "CLASS") {
        const std::string c = ToUpperAscii(text);
        if (c == "PRIVATE" || c == "CONFIDENTIAL")
            card.values["SCRT"] = "*";
        else if (c != "PUBLIC")
            KeepInMemo(card, p.line, text);
    } else if (name == "X-TESSERA-KIND") {
        card.needsCards |= text == "2";
    } else if (name == "X-TESSERA-NONAME") {
        card.noName = true;
    } else if (name.rfind("X-TESSERA-", 0) == 0 && name.size() == 14) {
        const std::string tag = name.substr(10);
        if (tag == "OFPR" || tag == "ASCT")
            card.needsCards = true;
        card.exact[tag] = text;
    } else if (name == "PHOTO" || name == "LOGO" || name == "KEY" || name == "SOUND") {
        if (ToUpperAscii(text.substr(0, 5)) == "DATA:" ||
            ToUpperAscii(p.line.Param("VALUE")) == "BINARY")
            RunNotes().Record(card.number, NoteText(kNoteLeftOut, {name}));
        else
            KeepInMemo(card, p.line, text);
    } else {
        // E-mail, web addresses, categories, nicknames, others' own properties: kept.
        KeepInMemo(card, p.line, text);
    }
}

// One content line inside a card.
void TakeProperty(Card& card, const ContentLine& line) {
    std::string value;
    if (!DecodeValue(line, card, value))
        return;
    const std::string& name = line.name;
    if (name == "VERSION")
        card.v21 = value == "2.1";
    const std::string text = PlainText(value, card.v21);
    const Property p{line, value, text};
    if (name == "VERSION" || name == "PRODID" || name == "UID" || name == "REV" ||
        name == "X-ABLABEL")
        return; // about the file, not the person (labels went into the lines they name)
    if (name == "FN" || name == "N" || name == "SORT-STRING" || name == "X-PHONETIC-LAST-NAME" ||
        name == "X-PHONETIC-FIRST-NAME" || (name == "SOUND" && line.HasType("X-IRMC-N")))
        TakeName(card, p);
    else if (name == "TEL")
        TakeTel(card, p);
    else if (name == "ORG" || name == "TITLE")
        TakeWork(card, p);
    else if (name == "ADR")
        TakeAddress(card, p);
    else
        TakeOther(card, p);
}

// The cards of the file, each from BEGIN:VCARD to END:VCARD.
bool ReadCards(const std::vector<ContentLine>& lines, std::vector<Card>& cards, Failure& failure) {
    Card* card = nullptr;
    for (std::size_t li = 0; li < lines.size(); ++li) {
        const ContentLine& line = lines[li];
        const std::string& name = line.name;
        if (name == "BEGIN" && ToUpperAscii(line.value) == "VCARD") {
            if (card != nullptr) {
                failure = {kExitBadInput,
                           LineNo(line) +
                               "a vCard begins inside a vCard (is an END:VCARD missing?)"};
                return false;
            }
            cards.emplace_back();
            card = &cards.back();
            card->number = static_cast<int>(cards.size());
            // The labels of grouped properties come first, wherever they stand in the card.
            for (std::size_t k = li + 1; k < lines.size() && lines[k].name != "END"; ++k)
                if (lines[k].name == "X-ABLABEL" && !lines[k].group.empty())
                    card->labels[lines[k].group] = UnescapeText(lines[k].value);
            continue;
        }
        if (card == nullptr) {
            failure = {kExitBadInput,
                       LineNo(line) + name + " stands outside BEGIN:VCARD ... END:VCARD"};
            return false;
        }
        if (name == "END" && ToUpperAscii(line.value) == "VCARD") {
            card = nullptr;
            continue;
        }
        TakeProperty(*card, line);
    }
    if (card != nullptr) {
        failure = {kExitBadInput, "vCard " + std::to_string(card->number) +
                                      " has no END:VCARD (the file may be cut off)"};
        return false;
    }
    return true;
}

// The cells a card ends with: the name, the best reading, the remark and this program's
// own exact values over the rest.
void FinishCells(Card& c) {
    if (c.noName)
        c.values.erase("NAME");
    else if (c.values.count("NAME") == 0 && !c.n.empty())
        c.values["NAME"] = c.n;
    for (const auto& [priority, reading] : c.readings) {
        if (!reading.empty()) {
            c.values["NAPR"] = reading;
            break;
        }
    }
    std::vector<std::string> remark = {c.notes};
    remark.insert(remark.end(), c.memo.begin(), c.memo.end());
    if (const std::string r = JoinNonEmpty(remark, "\r\n"); !r.empty())
        c.values["RMRK"] = r;
    for (const auto& [tag, value] : c.exact)
        c.values[tag] = value;
}

// The cards as records of a phone book, or of business cards when any card needs them.
bool StoreCards(std::vector<Card>& cards, CRecordSet& set, Failure& failure) {
    bool anyCard = false;
    for (const Card& c : cards)
        anyCard |= c.needsCards;
    set.SetKind(anyCard ? kKindBusinessCard : kKindPhoneBook);
    RecordList records;
    for (Card& c : cards) {
        FinishCells(c);
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record) {
            failure = {kExitImport, "out of memory"};
            return false;
        }
        for (const auto& [tag, value] : c.values) {
            const int i = set.FindTag(MakeTag(tag));
            if (i < 0 || tag.size() != 4) {
                if (tag == "NAPR" || tag == "RMRK" || value.empty())
                    continue;
                failure = {kExitImport, "vCard " + std::to_string(c.number) +
                                            ": the records have no field " + tag + " (X-TESSERA-" +
                                            tag + " is not one of this program's)"};
                return false;
            }
            if (!ParseCellText(*record, i, value, c.number, tag, failure))
                return false;
        }
        records.push_back(std::move(record));
    }
    if (!records.empty())
        set.InsertRecords(-1, std::move(records));
    return true;
}

} // namespace

bool ImportVCard(std::string_view in, CRecordSet& set, Failure& failure) {
    // A file that is not UTF-8 is the Shift_JIS a feature phone writes without saying so.
    std::string converted;
    if (!IsUtf8(in)) {
        converted = ToUtf8(in);
        in = converted;
        RunNotes().General(NoteText(kNoteCp932File));
    }
    std::vector<ContentLine> lines;
    if (!ParseContentLines(in, lines, failure))
        return false;
    std::vector<Card> cards;
    if (!ReadCards(lines, cards, failure))
        return false;
    return StoreCards(cards, set, failure);
}

FormatOps VCardOps() {
    FormatOps ops;
    ops.name = "tsr-vcard";
    ops.handlesKind = [](int kind) { return kind == kKindPhoneBook || kind == kKindBusinessCard; };
    ops.exportSet = ExportVCard;
    ops.importSet = ImportVCard;
    ops.decodesBytes = true;
    return ops;
}

} // namespace tessera::filters
