#pragma once
// Finding records by what the table shows. Texts are folded before they are compared, so
// that the differences a Japanese user does not mean vanish: letter case, full-width and
// half-width forms of letters, digits, symbols and katakana, hiragana against katakana,
// voiced marks written as part of the kana or after it, and the long-vowel and dash
// variants. A query is one or more words (split at spaces of either width) that must all
// occur in a record's display texts. The window's find bar and `tessera-cli find` share it.
//
//     CFindQuery query(cp932Text);              // "やまだ ０３" finds ﾔﾏﾀﾞ with 03-...
//     std::vector<int> hits = FindRecords(set, query);

#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class CDataRecord;
class CRecordSet;

// The folded form of a code page 932 text, appended to `out`. Each character becomes one
// 16-bit unit (a voiced kana two: its base and the mark); characters the map cannot name
// (device-only codes, stray bytes) become U+FFFD, which no query contains.
void AppendFolded(std::u16string& out, std::string_view cp932);
std::u16string FoldText(std::string_view cp932);

// Stands between the fields of a record's find text, so no word matches across two fields.
inline constexpr char16_t kFindFieldBreak = u'\u0001';

// The display texts of all fields of `record`, folded and joined by kFindFieldBreak.
std::u16string RecordFindText(const CDataRecord& record);

class CFindQuery {
public:
    CFindQuery() = default;
    // `cp932` is the text the user typed, in code page 932.
    explicit CFindQuery(std::string_view cp932);

    // A query no record matches: the user typed a character no record can hold.
    static CFindQuery Nothing();

    // True when the query has no word: every record matches.
    bool IsEmpty() const { return m_words.empty() && !m_nothing; }
    const std::vector<std::u16string>& Words() const { return m_words; }

    // True when every word occurs in `findText` (a RecordFindText).
    bool Matches(std::u16string_view findText) const;
    bool Matches(const CDataRecord& record) const;

private:
    std::vector<std::u16string> m_words;
    bool m_nothing = false;
};

// The indices of the records of `set` that match, in record order.
std::vector<int> FindRecords(const CRecordSet& set, const CFindQuery& query);

} // namespace tessera
