#include "dav/DavObjects.h"

#include "filters/FilterKit.h"
#include "filters/ICalFormat.h"
#include "filters/VCardFormat.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace tessera::dav {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Logical lines: CR LF, LF or CR breaks; a line starting with a space or tab continues the
// one before.
std::vector<std::string> Unfolded(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(i, end - i);
        i = end;
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().append(line.substr(1));
        else if (!line.empty())
            lines.emplace_back(line);
    }
    return lines;
}

struct Line {
    std::string name;                // upper case
    std::vector<std::string> params; // NAME=value, name upper case
    std::string value;
};

Line Parse(const std::string& raw) {
    Line l;
    bool quoted = false;
    std::size_t start = 0;
    std::vector<std::string> parts;
    std::size_t colon = std::string::npos;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ';') {
            parts.push_back(raw.substr(start, i - start));
            start = i + 1;
        } else if (!quoted && c == ':') {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos) {
        l.name = Upper(raw);
        return l;
    }
    parts.push_back(raw.substr(start, colon - start));
    l.value = raw.substr(colon + 1);
    l.name = Upper(parts.front());
    for (std::size_t p = 1; p < parts.size(); ++p) {
        const std::size_t eq = parts[p].find('=');
        if (eq == std::string::npos)
            l.params.push_back(Upper(parts[p]));
        else
            l.params.push_back(Upper(parts[p].substr(0, eq)) + parts[p].substr(eq));
    }
    std::sort(l.params.begin(), l.params.end());
    return l;
}

// "-PT15M", "P1DT2H", "-P1W" -> seconds; false when it is no duration.
bool DurationSeconds(const std::string& v, long long& seconds) {
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-'))
        negative = v[i++] == '-';
    if (i >= v.size() || v[i++] != 'P')
        return false;
    long long total = 0, n = 0;
    bool digits = false, inTime = false;
    for (; i < v.size(); ++i) {
        const char c = v[i];
        if (c >= '0' && c <= '9') {
            n = n * 10 + (c - '0');
            digits = true;
            continue;
        }
        if (c == 'T') {
            inTime = true;
            continue;
        }
        if (!digits)
            return false;
        long long unit = 0;
        if (c == 'W' && !inTime)
            unit = 7 * 86400;
        else if (c == 'D' && !inTime)
            unit = 86400;
        else if (c == 'H' && inTime)
            unit = 3600;
        else if (c == 'M' && inTime)
            unit = 60;
        else if (c == 'S' && inTime)
            unit = 1;
        else
            return false;
        total += n * unit;
        n = 0;
        digits = false;
    }
    if (digits)
        return false;
    seconds = negative ? -total : total;
    return true;
}

// Lines that say nothing about the record: a server rewrites them, or every export
// changes them.
const std::set<std::string> kNoise = {"VERSION",       "PRODID",  "CALSCALE", "METHOD", "DTSTAMP",
                                      "LAST-MODIFIED", "CREATED", "SEQUENCE", "REV"};

} // namespace

bool IsPublishedKind(int kind) {
    return kind == kKindPhoneBook || kind == kKindBusinessCard || kind == kKindSchedule ||
           kind == kKindAnniversary || kind == kKindAnniversaryWeek || kind == kKindActionList;
}

std::vector<std::string> SplitCards(std::string_view vcf) {
    std::vector<std::string> cards;
    std::string current;
    bool in = false;
    std::size_t i = 0;
    while (i < vcf.size()) {
        std::size_t end = vcf.find("\r\n", i);
        end = end == std::string_view::npos ? vcf.size() : end;
        const std::string_view line = vcf.substr(i, end - i);
        i = std::min(vcf.size(), end + 2);
        if (Upper(line) == "BEGIN:VCARD") {
            in = true;
            current.clear();
        }
        if (in) {
            current.append(line);
            current.append("\r\n");
        }
        if (in && Upper(line) == "END:VCARD") {
            cards.push_back(current);
            in = false;
        }
    }
    return cards;
}

std::vector<std::string> SplitCalendar(std::string_view ics) {
    std::string header;
    std::vector<std::string> components;
    std::string current;
    int depth = 0;
    std::size_t i = 0;
    while (i < ics.size()) {
        std::size_t end = ics.find("\r\n", i);
        end = end == std::string_view::npos ? ics.size() : end;
        const std::string_view line = ics.substr(i, end - i);
        i = std::min(ics.size(), end + 2);
        const std::string upper = Upper(line.substr(0, std::min<std::size_t>(line.size(), 6)));
        const bool begin = upper.rfind("BEGIN:", 0) == 0, closing = upper.rfind("END:", 0) == 0;
        if (begin && ++depth == 2)
            current.clear();
        if (depth >= 2) {
            current.append(line);
            current.append("\r\n");
        } else if (depth == 1 && !begin && !closing) {
            header.append(line);
            header.append("\r\n");
        }
        if (closing && depth-- == 2)
            components.push_back(current);
    }
    std::vector<std::string> out;
    out.reserve(components.size());
    for (const std::string& c : components)
        out.push_back("BEGIN:VCALENDAR\r\n" + header + c + "END:VCALENDAR\r\n");
    return out;
}

std::string ComponentName(std::string_view text) {
    for (const std::string& raw : Unfolded(text)) {
        const Line l = Parse(raw);
        if (l.name == "BEGIN" && Upper(l.value) != "VCALENDAR")
            return Upper(l.value);
    }
    return {};
}

std::string PropertyValue(std::string_view text, std::string_view name) {
    const std::string wanted = Upper(name);
    int depth = 0;
    for (const std::string& raw : Unfolded(text)) {
        const Line l = Parse(raw);
        if (l.name == "BEGIN") {
            if (Upper(l.value) != "VCALENDAR")
                ++depth;
            continue;
        }
        if (l.name == "END") {
            if (Upper(l.value) != "VCALENDAR")
                --depth;
            continue;
        }
        if (depth == 1 && l.name == wanted)
            return l.value;
    }
    return {};
}

std::string Substance(std::string_view text) {
    std::vector<std::string> keys;
    std::vector<std::string> path;
    for (const std::string& raw : Unfolded(text)) {
        Line l = Parse(raw);
        if (l.name == "BEGIN") {
            path.push_back(Upper(l.value));
            continue;
        }
        if (l.name == "END") {
            if (!path.empty())
                path.pop_back();
            continue;
        }
        // Time zones a server adds around the event are not ours to compare.
        if (std::find(path.begin(), path.end(), "VTIMEZONE") != path.end())
            continue;
        if (kNoise.count(l.name) != 0)
            continue;
        long long seconds = 0;
        if ((l.name == "TRIGGER" || l.name == "DURATION") && DurationSeconds(l.value, seconds))
            l.value = std::to_string(seconds) + "s";
        std::string key;
        for (const std::string& p : path)
            if (p != "VCALENDAR")
                key += p + "/";
        key += l.name;
        for (const std::string& p : l.params)
            key += ";" + p;
        key += ":" + l.value;
        keys.push_back(std::move(key));
    }
    std::sort(keys.begin(), keys.end());
    std::string out;
    for (const std::string& k : keys)
        out += k + "\n";
    return out;
}

std::string IdentityKey(std::string_view text) {
    const std::string component = ComponentName(text);
    if (component == "VCARD")
        return component + "\n" + PropertyValue(text, "FN") + "\n" +
               PropertyValue(text, "X-TESSERA-KIND");
    return component + "\n" + PropertyValue(text, "SUMMARY");
}

std::string IdentityDetail(std::string_view text) {
    if (ComponentName(text) == "VCARD")
        return PropertyValue(text, "TEL");
    return PropertyValue(text, "DTSTART") + PropertyValue(text, "DUE");
}

bool MakeObjects(const CRecordSet& set, const std::string& source, std::vector<DavObject>& out,
                 std::vector<std::string>& notes, std::string& error) {
    const int kind = set.Kind();
    if (!IsPublishedKind(kind) || set.RecordCount() == 0)
        return true;
    // The same way a file export goes: the text form, read back as the filter reads it, on
    // the kind's own tag list.
    std::string form;
    if (!set.WriteTextToString(form)) {
        error = "the records cannot be written as text";
        return false;
    }
    filters::Failure failure;
    CRecordSet read;
    if (!filters::ReadTextForm(form, read, failure)) {
        error = failure.message;
        return false;
    }
    std::unique_ptr<CRecordSet> onTags = filters::OnKindTags(read, kind, failure);
    if (!onTags) {
        error = failure.message;
        return false;
    }
    const bool cards = kind == kKindPhoneBook || kind == kKindBusinessCard;
    filters::RunNotes().Clear();
    std::string text;
    const bool ok = cards ? filters::ExportVCard(*onTags, text, failure)
                          : filters::ExportICal(*onTags, text, failure);
    for (const std::string& note : filters::RunNotes().Lines())
        notes.push_back(source + ": " + note);
    filters::RunNotes().Clear();
    if (!ok) {
        error = failure.message;
        return false;
    }
    const std::vector<std::string> pieces = cards ? SplitCards(text) : SplitCalendar(text);
    if (static_cast<int>(pieces.size()) != onTags->RecordCount()) {
        error = "the export wrote " + std::to_string(pieces.size()) + " objects for " +
                std::to_string(onTags->RecordCount()) + " records";
        return false;
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        DavObject o;
        o.collection = cards ? Collection::AddressBook : Collection::Calendar;
        o.text = pieces[i];
        o.component = ComponentName(o.text);
        o.uid = PropertyValue(o.text, "UID");
        o.source = source;
        o.recordNo = static_cast<int>(i) + 1;
        out.push_back(std::move(o));
    }
    return true;
}

} // namespace tessera::dav
