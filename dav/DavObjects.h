#pragma once
// The resources a publish puts on a contacts or calendar server: one vCard or one
// iCalendar object per record, written by the bundled filters' own export (so a record the
// interop formats cannot express gets the same fallback as in a file export), and the
// comparison that tells whether what the server holds is still what we would send.

#include <string>
#include <string_view>
#include <vector>

namespace tessera {
class CRecordSet;
}

namespace tessera::dav {

enum class Collection { AddressBook, Calendar };

struct DavObject {
    Collection collection = Collection::AddressBook;
    std::string component; // VCARD, VEVENT, VTODO, VJOURNAL
    std::string uid;       // ends in "@tessera.invalid"
    std::string text;      // the whole resource, UTF-8, CR LF
    std::string source;    // the file (or document) it came from, UTF-8
    int recordNo = 0;      // from 1, as the window numbers records
};

// True when the record kind goes to a server (phone book, cards, schedule, anniversaries,
// action list).
bool IsPublishedKind(int kind);

// Appends one object per record of `set` to `out`; the records are not touched. Notes of
// the export (a value moved to its nearest real one, a stand-in name) go to `notes` as
// "source: note" lines. False with `error` (UTF-8) when the filter refuses the set.
bool MakeObjects(const CRecordSet& set, const std::string& source, std::vector<DavObject>& out,
                 std::vector<std::string>& notes, std::string& error);

// Splits a vCard file into cards, an iCalendar file into one VCALENDAR per component (the
// calendar's own properties repeated in each). Each piece is CR LF text.
std::vector<std::string> SplitCards(std::string_view vcf);
std::vector<std::string> SplitCalendar(std::string_view ics);

// The value of the first property `name` of the object's own component (unfolded, not
// unescaped); empty when there is none.
std::string PropertyValue(std::string_view text, std::string_view name);
// The first component's name below VCALENDAR (or VCARD).
std::string ComponentName(std::string_view text);

// The object in substance: content lines unfolded, names and parameter names in upper
// case, parameters sorted, durations by their length, and the lines a server rewrites or a
// new export always changes (VERSION, PRODID, CALSCALE, DTSTAMP, ...) left out; sorted.
// Two texts with the same Substance hold the same record.
std::string Substance(std::string_view text);

// What stays of a record when one of its fields is edited (its name, an event's title):
// used to find the resource of an edited record, whose content UID has changed.
// `detail` narrows a tie (a phone number, the start).
std::string IdentityKey(std::string_view text);
std::string IdentityDetail(std::string_view text);

} // namespace tessera::dav
