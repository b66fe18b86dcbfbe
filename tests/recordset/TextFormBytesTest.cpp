// The byte-level rules of the text form: how the tokenizer splits values and where lines end,
// and which values the writer may put between quotes.

#include "model/CodeMap.h"
#include "model/TextForm.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tessera {
namespace {

using Status = CTextTokenizer::Status;

struct Token {
    std::string value;
    Status status;
    LineState state;
};

// Reads tokens until the tokenizer reports the end, resetting the line state after each
// line end the way the reader does.
std::vector<Token> Tokens(const std::string& text, const CCodeMap* map = nullptr) {
    auto tok = std::make_unique<CTextTokenizer>(text.data(), text.size(), map);
    std::vector<Token> out;
    for (int guard = 0; guard < 1000; ++guard) {
        Status s = tok->Next();
        out.push_back({std::string(tok->Value()), s, tok->State()});
        if (s != Status::Value || tok->State() == LineState::BadBreak)
            break;
        if (tok->State() == LineState::EndOfLine)
            tok->ResetLineState();
    }
    return out;
}

constexpr auto V = Status::Value;
constexpr auto L = Status::LastValue;
constexpr auto In = LineState::InLine;
constexpr auto Eol = LineState::EndOfLine;
constexpr auto Bad = LineState::BadBreak;

struct TokenCase {
    const char* name;
    std::string text;
    std::vector<Token> expected;
};

TEST(Tokenizer, SplitsValuesAndLinesByTheQuoteRules) {
    const std::vector<TokenCase> cases = {
        {"quoted values and line end",
         "\"i\",\"NAME\"\r\n\x1A",
         {{"i", V, In}, {"NAME", V, Eol}, {"", L, In}}},
        {"bare comma is an empty value, also at a line end",
         "\"D\",,\"x\",\r\n\"D\"\r\n\x1A",
         {{"D", V, In}, {"", V, In}, {"x", V, In}, {"", V, Eol}, {"D", V, Eol}, {"", L, In}}},
        {"quote followed by other bytes is part of the value",
         "\"a\"b\"\"\r\n\x1A",
         {{"a\"b\"", V, Eol}, {"", L, In}}},
        {"comma inside quotes is part of the value",
         "\"a,b\",\"c\"\r\n\x1A",
         {{"a,b", V, In}, {"c", V, Eol}, {"", L, In}}},
        {"quote and comma inside a value split it",
         "\"a\",b\"\r\n\x1A",
         {{"a", V, In}, {"b\"", L, Eol}}},
        {"CR inside quotes is a bad line break", "\"a\rb\",\"c\"\r\n\x1A", {{"a", V, Bad}}},
        {"unquoted value at a line end with no quote after it ends the input",
         "\"D\",x\r\nD\x1A",
         {{"D", V, In}, {"x", L, Eol}}},
        {"quote followed by the end mark ends the input",
         "\"D\",\"x\"\x1A",
         {{"D", V, In}, {"x", L, In}}},
        {"zero byte ends like 0x1A",
         std::string("\"D\",\"x\"\r\n\0\"D\"", 13),
         {{"D", V, In}, {"x", V, Eol}, {"", L, In}}},
        {"end mark inside a value",
         "\"D\",\"ab\x1A"
         "cd\"",
         {{"D", V, In}, {"ab", L, In}}},
        {"buffer end without an end mark", "\"D\",\"ab", {{"D", V, In}, {"ab", L, In}}},
        {"trail byte equal to a quote or comma belongs to the character",
         "\"\x81\"\",\"\x82,\"\r\n\x1A",
         {{"\x81\"", V, In}, {"\x82,", V, Eol}, {"", L, In}}},
        {"lone LF is an ordinary byte", "\"a\nb\"\r\n\x1A", {{"a\nb", V, Eol}, {"", L, In}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = Tokens(c.text);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].value, c.expected[i].value);
            EXPECT_EQ(got[i].status, c.expected[i].status);
            EXPECT_EQ(got[i].state, c.expected[i].state);
        }
    }
}

TEST(Tokenizer, RefusesAValueLongerThanTheWorkBuffer) {
    const std::string fits(kReadValueCapacity - 1, 'a');
    auto ok = Tokens("\"" + fits + "\"\r\n\x1A");
    ASSERT_EQ(ok.size(), 2u);
    EXPECT_EQ(ok[0].status, Status::Value);
    EXPECT_EQ(ok[0].value.size(), fits.size());

    auto tooLong = Tokens("\"" + fits + "b\"\r\n\x1A");
    EXPECT_EQ(tooLong.back().status, Status::Overflow);

    // A mapped character that would cross the limit counts too.
    auto twoByte = Tokens("\"" + std::string(kReadValueCapacity - 2, 'a') + "\x88\x9F\"\x1A");
    EXPECT_EQ(twoByte.back().status, Status::Overflow);
}

TEST(Tokenizer, MapsDoubleByteCharactersThroughTheCodeMap) {
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    // 0xED40 is the device's circled one, 0xEBAE a device digit: both always converted.
    auto got = Tokens("\"\xED\x40\xEB\xAE\"\r\n\x1A", &map);
    ASSERT_GE(got.size(), 1u);
    EXPECT_EQ(got[0].value, "\x87\x40"
                            "0");
    // Without a map the bytes pass unchanged.
    auto raw = Tokens("\"\xED\x40\xEB\xAE\"\r\n\x1A");
    EXPECT_EQ(raw[0].value, "\xED\x40\xEB\xAE");
}

// Long texts copy the characters the map leaves alone without asking it each time; the
// values must be the same as when every character goes through the map.
TEST(Tokenizer, LongTextsMapLikeShortOnes) {
    CodeMapFlags flags;
    flags.convAlphaNumeric = true;
    flags.convSymbol = true;
    flags.convHiraKana = true;
    CCodeMap map(&flags);
    ASSERT_TRUE(map.LoadTables());

    std::vector<std::string> values;
    for (int lead = 0x81; lead <= 0xFD; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead)))
            continue;
        std::string v = "x";
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            v += static_cast<char>(lead);
            v += static_cast<char>(trail);
        }
        values.push_back(v);
    }
    std::string big;
    while (big.size() < CTextTokenizer::kIdentityTableThreshold) {
        for (const auto& v : values)
            big += "\"" + v + "\"\r\n";
    }
    big += "\x1A";

    auto tok = std::make_unique<CTextTokenizer>(big.data(), big.size(), &map);
    std::size_t i = 0;
    while (tok->Next() == Status::Value) {
        tok->ResetLineState();
        const std::string& source = values[i % values.size()];
        const std::string one = "\"" + source + "\"\r\n\x1A";
        auto small = std::make_unique<CTextTokenizer>(one.data(), one.size(), &map);
        small->Next();
        ASSERT_EQ(tok->Value(), small->Value()) << "value " << i;
        ++i;
    }
    EXPECT_GE(i, values.size());
}

// Every prefix of a text, and random bytes, in buffers of exactly their size: the tokenizer
// must stop at the buffer's end (run under the sanitizers, a read past it is caught).
TEST(Tokenizer, NeverReadsPastTheBuffer) {
    const std::string text =
        "\"i\",\"NAME\",\"TEL1\"\r\n\"T\",\"a\",\"b\"\r\n\"D\",\"\x82\xA0\",x\r\n\"D\",\"y\x81";
    for (std::size_t n = 0; n <= text.size(); ++n) {
        std::unique_ptr<char[]> exact(new char[n == 0 ? 1 : n]);
        std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), exact.get());
        auto tok = std::make_unique<CTextTokenizer>(exact.get(), n, nullptr);
        int steps = 0;
        while (tok->Next() == Status::Value && steps < 100) {
            EXPECT_LE(tok->Offset(), n);
            if (tok->State() != LineState::InLine)
                tok->ResetLineState();
            ++steps;
        }
        EXPECT_LE(tok->Offset(), n);
        EXPECT_LT(steps, 100);
    }

    std::mt19937 rng(1234);
    const char alphabet[] = {'"', ',', '\r', '\n', '\x1A', '\0', 'D', 'i', '\x81', '\xE0', 'a'};
    for (int round = 0; round < 2000; ++round) {
        const std::size_t n = rng() % 64;
        std::unique_ptr<char[]> bytes(new char[n == 0 ? 1 : n]);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = (rng() % 3 == 0) ? static_cast<char>(rng() % 256)
                                        : alphabet[rng() % sizeof(alphabet)];
        auto tok = std::make_unique<CTextTokenizer>(bytes.get(), n, nullptr);
        int steps = 0;
        while (tok->Next() == Status::Value && steps < 200) {
            tok->ResetLineState();
            ++steps;
        }
        EXPECT_LE(tok->Offset(), n);
        EXPECT_LT(steps, 200);
    }
}

// The rules read one byte at a time, with no map: what the tokenizer must give, however it
// gets there.
std::vector<Token> TokensByTheRules(const std::string& text) {
    std::vector<Token> out;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    bool ended = false;
    LineState state = LineState::InLine;
    auto isEnd = [](unsigned char b) { return b == 0x00 || b == 0x1A; };
    for (int guard = 0; guard < 1000; ++guard) {
        std::string value;
        Status status = Status::LastValue;
        if (!ended && pos < n) {
            const bool quoted = text[pos] == '"';
            if (quoted)
                ++pos;
            bool done = false;
            while (!done && pos < n) {
                const auto b = static_cast<unsigned char>(text[pos]);
                if (isEnd(b)) {
                    status = Status::LastValue;
                    done = true;
                } else if (b == '\r') {
                    if (quoted) {
                        state = LineState::BadBreak;
                        pos = std::min(n, pos + 3);
                        status = Status::Value;
                    } else {
                        state = LineState::EndOfLine;
                        pos = std::min(n, pos + 2);
                        status = pos < n && text[pos] == '"' ? Status::Value : Status::LastValue;
                    }
                    done = true;
                } else if (b == '"' && quoted) {
                    const int next = pos + 1 < n ? static_cast<unsigned char>(text[pos + 1]) : -1;
                    if (next < 0 || isEnd(static_cast<unsigned char>(next))) {
                        ++pos;
                        status = Status::LastValue;
                        done = true;
                    } else if (next == '\r') {
                        pos = std::min(n, pos + 3);
                        state = LineState::EndOfLine;
                        status = Status::Value;
                        done = true;
                    } else if (next == ',') {
                        pos += 2;
                        status = Status::Value;
                        done = true;
                    } else {
                        value += '"';
                        ++pos;
                    }
                } else if (b == ',' && !quoted) {
                    ++pos;
                    status = Status::Value;
                    done = true;
                } else if (IsLeadByte(b) && pos + 1 < n) {
                    value += text.substr(pos, 2);
                    pos += 2;
                } else {
                    value += static_cast<char>(b);
                    ++pos;
                }
            }
            if (status != Status::Value)
                ended = true;
        }
        out.push_back({value, status, state});
        if (status != Status::Value || state == LineState::BadBreak)
            break;
        if (state == LineState::EndOfLine)
            state = LineState::InLine;
    }
    return out;
}

// Whether a character of `value` (bytes inside a double-byte character aside) is below 0x20.
bool HoldsControlCharacter(std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto b = static_cast<unsigned char>(value[i]);
        if (b < 0x20)
            return true;
        if (IsLeadByte(b))
            ++i;
    }
    return false;
}

// Values of every shape, near and at the buffer's end: the tokenizer's quick way through
// plain quoted values must split them exactly as the rules do, and say truly when a value
// holds no control character.
TEST(Tokenizer, AgreesWithTheRulesByteForByte) {
    std::mt19937 rng(977);
    const std::vector<std::string> pieces = {
        "\"",
        ",",
        "\r\n",
        "\r",
        "\n",
        "\x1A",
        std::string(1, '\0'),
        "\x1F",
        "\t",
        "\x1E\x0C",
        "D",
        "abc",
        "0123456789",
        " ",
        "\x82\xA0",
        "\x88\x9F",
        "\x81\"",
        "\x82,",
        "\x9F\xE0",
        "\x81",
        "\xE0",
        "\xFD\xFC",
        "\xA1",
        "\x80",
        "\xFF",
        "\",\"",
        "\"\r\n\"D\",\"",
        "\x81\r",
    };
    for (int round = 0; round < 4000; ++round) {
        std::string text = round % 2 == 0 ? "\"D\",\"" : "";
        const int count = 1 + static_cast<int>(rng() % 24);
        for (int i = 0; i < count; ++i)
            text += pieces[rng() % pieces.size()];
        SCOPED_TRACE(round);
        // In a buffer of exactly its size, so the end is the buffer's end.
        std::unique_ptr<char[]> exact(new char[text.size() + 1]);
        std::copy(text.begin(), text.end(), exact.get());
        auto tok = std::make_unique<CTextTokenizer>(exact.get(), text.size(), nullptr);
        const auto expected = TokensByTheRules(text);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            const Status s = tok->Next();
            ASSERT_EQ(tok->Value(), expected[i].value);
            ASSERT_EQ(s, expected[i].status);
            ASSERT_EQ(tok->State(), expected[i].state);
            if (!tok->ValueMayHoldControl()) {
                EXPECT_FALSE(HoldsControlCharacter(tok->Value()));
            }
            if (tok->State() == LineState::EndOfLine)
                tok->ResetLineState();
        }

        // The same with the rest of each line taken in one go first, as the reader does.
        auto byLine = std::make_unique<CTextTokenizer>(exact.get(), text.size(), nullptr);
        std::vector<Token> got;
        while (got.size() < expected.size()) {
            std::vector<ReadValue> line;
            const bool whole = byLine->NextInLine(line);
            for (std::size_t i = 0; i < line.size(); ++i) {
                const bool last = whole && i + 1 == line.size();
                got.push_back({std::string(line[i].text), Status::Value, last ? Eol : In});
                if (!line[i].mayHoldControl) {
                    EXPECT_FALSE(HoldsControlCharacter(line[i].text));
                }
            }
            if (!line.empty()) {
                EXPECT_EQ(byLine->Value(), line.back().text);
                EXPECT_EQ(byLine->State(), whole ? Eol : In);
            }
            if (whole) {
                byLine->ResetLineState();
                continue;
            }
            const Status s = byLine->Next();
            got.push_back({std::string(byLine->Value()), s, byLine->State()});
            if (s != Status::Value || byLine->State() == LineState::BadBreak)
                break;
            if (byLine->State() == LineState::EndOfLine)
                byLine->ResetLineState();
        }
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].value, expected[i].value);
            EXPECT_EQ(got[i].status, expected[i].status);
            EXPECT_EQ(got[i].state, expected[i].state);
        }
    }
}

// Long values of characters the map may or may not change, taken many bytes at a time in a
// long text: each line must read as it does alone in a short text, where every character
// goes through the map. Lead bytes found as second bytes, quotes and control bytes right
// after a lead byte, and characters across the boundaries of the wide reads all occur.
TEST(Tokenizer, LongValuesReadAsTheMapSaysCharacterByCharacter) {
    const std::vector<std::string> pieces = {
        "a",        "0123456789abcdef", "\x82\xA0", "\x82\x59", // hiragana; a mapped code
        "\x82\xFC", "\x89\x82",         "Y",        "\x89\x9F", // 0x82 as a second byte
        "\xED\x40", "\x87\x40",         "\xEB\xAE", "\x81\x9B", "\xEC\x40",
        "\"q",      "\x82\"q",          "\x89\x1F", "\x1F",     "\t",
        "\x9F\xE0", "\xE0\x82",         "\xA6",     ",",        "\x81\x81\x81"};
    std::mt19937 rng(20261208);
    for (const bool allGroups : {false, true}) {
        SCOPED_TRACE(allGroups);
        CodeMapFlags flags;
        flags.convAlphaNumeric = allGroups;
        flags.convSymbol = allGroups;
        flags.convHiraKana = allGroups;
        CCodeMap map(&flags);
        ASSERT_TRUE(map.LoadTables());

        // A quote is followed by a letter and each value ends with one, so every line reads
        // the same wherever it stands.
        std::vector<std::string> lines;
        std::string big;
        while (big.size() < 2 * CTextTokenizer::kIdentityTableThreshold) {
            std::string line;
            const int values = 1 + static_cast<int>(rng() % 3);
            for (int v = 0; v < values; ++v) {
                line += v == 0 ? "\"" : ",\"";
                const int count = static_cast<int>(rng() % 40);
                for (int i = 0; i < count; ++i)
                    line += pieces[rng() % pieces.size()];
                line += "z\"";
            }
            line += "\r\n";
            lines.push_back(line);
            big += line;
        }
        big += "\x1A";

        auto tok = std::make_unique<CTextTokenizer>(big.data(), big.size(), &map);
        for (std::size_t n = 0; n < lines.size(); ++n) {
            SCOPED_TRACE(n);
            const auto expected = Tokens(lines[n] + "\x1A", &map);
            std::vector<ReadValue> quick;
            bool whole = tok->NextInLine(quick);
            // A value the quick pass left may be in the tokenizer's own buffer: copied.
            std::vector<std::pair<std::string, bool>> got;
            for (const ReadValue& v : quick)
                got.emplace_back(v.text, v.mayHoldControl);
            while (!whole) {
                tok->Next();
                got.emplace_back(tok->Value(), tok->ValueMayHoldControl());
                whole = tok->State() == LineState::EndOfLine;
            }
            tok->ResetLineState();
            ASSERT_EQ(got.size() + 1, expected.size()); // alone, the end mark is one more
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].first, expected[i].value);
                if (!got[i].second) {
                    EXPECT_FALSE(HoldsControlCharacter(got[i].first));
                }
            }
        }
    }
    // Near the end of the buffer the byte walk takes over, in the middle of a character when
    // a wide read ended there: second bytes in the lead range, then a quote that the lone
    // lead byte before it swallows or not.
    for (std::size_t k = 0; k < 40; ++k) {
        for (const char* tail : {"\"", "\x81\"", "\x81\x81\"", "\x1F\""}) {
            std::string text = "\"" + std::string(k, 'a');
            for (int i = 0; i < 12; ++i)
                text += "\x89\x9F";
            text += tail;
            text += ",\"x\"\r\n";
            SCOPED_TRACE(::testing::PrintToString(text));
            const auto got = Tokens(text);
            const auto expected = TokensByTheRules(text);
            ASSERT_EQ(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].value, expected[i].value);
                EXPECT_EQ(got[i].status, expected[i].status);
            }
        }
    }
}

TEST(WriterValues, RefusesWhatWouldReadBackDifferently) {
    struct Case {
        std::string value;
        ValueProblem problem;
    };
    const std::vector<Case> cases = {
        {"", ValueProblem::None},
        {"plain", ValueProblem::None},
        {"say \"hi\" there", ValueProblem::None},
        {"ends with a quote\"", ValueProblem::None},
        {"a\nb", ValueProblem::None},
        {"\x82\xA0\x82\xA2", ValueProblem::None},
        {"\x81\",", ValueProblem::None}, // the quote is a trail byte, not a quote
        {std::string("a\0b", 3), ValueProblem::EndMark},
        {"a\x1A"
         "b",
         ValueProblem::EndMark},
        {"a\rb", ValueProblem::BareCR},
        {"a\r\nb", ValueProblem::BareCR},
        {"a\",b", ValueProblem::QuoteSeparator},
        {"a\"\rb", ValueProblem::QuoteSeparator},
        {"abc\x82", ValueProblem::SplitCharacter},
        {"\x88\x9F", ValueProblem::None}, // trail byte in the lead range
        {"\x82\x9F\x88", ValueProblem::SplitCharacter},
        {"a\x9F\x88\x9F", ValueProblem::SplitCharacter},
        {"\x87\x40x\x88", ValueProblem::SplitCharacter}, // the same through the slow walk
        // Longer values are first looked at eight bytes at a time.
        {"abcdefghijklmnopqrstu", ValueProblem::None},
        {"abcdefgh\",ijklmnop", ValueProblem::QuoteSeparator},
        {"abcdefghijk\x1Alm", ValueProblem::EndMark},
        {"abcdefghijklmno\r", ValueProblem::BareCR},
        {"0123456789\x87\x40\x82\xA0\x82\xA0", ValueProblem::None},
        {"\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82", ValueProblem::SplitCharacter},
        {std::string(kReadValueCapacity - 1, 'x'), ValueProblem::None},
        {std::string(kReadValueCapacity, 'x'), ValueProblem::TooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.substr(0, 20));
        EXPECT_EQ(CheckValue(c.value), c.problem);
        // The writer's one-pass append agrees with the check and the plain append.
        std::string fused = "x";
        std::string plain = "x";
        AppendValue(plain, c.value);
        EXPECT_EQ(AppendCheckedValue(fused, c.value), c.problem == ValueProblem::None);
        EXPECT_EQ(fused, c.problem == ValueProblem::None ? plain : "x");
    }
}

TEST(WriterValues, QuotesValuesAndRewritesCircledNumbers) {
    std::string out;
    AppendValue(out, "");
    AppendValue(out, "ab");
    // Circled 1 and 20 become device codes; 0x8754 (circled 21's neighbour) and a trail byte
    // 0x87 inside another character stay.
    AppendValue(out, "\x87\x40\x87\x53\x87\x54\x88\x87\x40");
    EXPECT_EQ(out, ",,\"ab\",\"\xED\x40\xED\x53\x87\x54\x88\x87\x40\"");

    std::string quoted;
    AppendQuoted(quoted, "");
    EXPECT_EQ(quoted, "\"\"");

    std::string lonely = "x\x87";
    RewriteCircledNumbers(lonely);
    EXPECT_EQ(lonely, "x\x87");
}

} // namespace
} // namespace tessera
