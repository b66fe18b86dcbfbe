#include "base/Cp932.h"

#include "text/Cp932Text.h"

#include <QStringDecoder>
#include <gtest/gtest.h>
#include <map>
#include <vector>

using namespace tessera;

namespace {

std::string Two(unsigned code) {
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

bool CodecDefines(const std::string& bytes) {
    QStringDecoder dec("windows-31j");
    const QString s = dec.decode(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !dec.hasError() && s.size() == 1 && s.at(0) != QChar(0xFFFD) && s.at(0) != QChar(0x1A);
}

// Every double-byte code code page 932 defines, with its character.
const std::map<unsigned, QString>& DefinedCodes() {
    static const std::map<unsigned, QString> codes = [] {
        std::map<unsigned, QString> m;
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0)
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const unsigned code = (lead << 8) | trail;
                if (CodecDefines(Two(code)))
                    m.emplace(code, Cp932ToQString(Two(code)));
            }
        }
        return m;
    }();
    return codes;
}

TEST(Cp932, EveryDoubleByteCodeRoundTrips) {
    const auto& codes = DefinedCodes();
    ASSERT_GT(codes.size(), 7900u);
    std::map<QString, int> uses;
    for (const auto& [code, text] : codes)
        ++uses[text];
    int duplicates = 0;
    for (const auto& [code, text] : codes) {
        SCOPED_TRACE(testing::Message() << std::hex << code);
        ASSERT_EQ(text.size(), 1);
        EXPECT_FALSE(IsDeviceCodeChar(text.at(0).unicode()));
        std::string back;
        ASSERT_TRUE(QStringToCp932(text, back));
        if (uses[text] == 1) {
            EXPECT_EQ(back, Two(code));
        } else {
            // NEC and IBM rows: one character, several codes; encoding picks one of them
            // and stays there.
            duplicates += back != Two(code) ? 1 : 0;
            EXPECT_EQ(Cp932ToQString(back), text);
            std::string again;
            ASSERT_TRUE(QStringToCp932(Cp932ToQString(back), again));
            EXPECT_EQ(again, back);
        }
    }
    EXPECT_GT(duplicates, 300);
    EXPECT_LT(duplicates, 500);
}

TEST(Cp932, SingleBytes) {
    EXPECT_EQ(Cp932ToQString("A\\~"), QStringLiteral("A\\~"));
    EXPECT_EQ(Cp932ToQString("\xB1\xDE"), QStringLiteral("ｱﾞ"));
    EXPECT_EQ(Cp932ToQString(std::string("a\0b", 3)),
              QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b"));
    std::string out;
    ASSERT_TRUE(QStringToCp932(QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("ｶ"), out));
    EXPECT_EQ(out, std::string("a\0\xB6", 3));
}

TEST(Cp932, DeviceOnlyCodesKeepTheirBytes) {
    // 0xEBA4 (a device digit left unconverted), 0xFDD0, a stray 0x80 and a lead byte cut off
    // at the end: none is a code page 932 character, all must come back unchanged.
    const std::string device =
        std::string("\x82\xA0\xEB\xA4", 4) + "x" + std::string("\xFD\xD0\x80\x81", 4);
    const QString shown = Cp932ToQString(device);
    unsigned code = 0;
    const uint eba4 = QChar::surrogateToUcs4(shown.at(1), shown.at(2));
    EXPECT_TRUE(IsDeviceCodeChar(eba4, &code));
    EXPECT_EQ(code, 0xEBA4u);
    std::string back;
    ASSERT_TRUE(QStringToCp932(shown, back));
    EXPECT_EQ(back, device);
    // On screen each of the four shows as one visible placeholder.
    EXPECT_EQ(Cp932ToDisplayString(device), QStringLiteral("あ〓x〓〓〓"));
}

TEST(Cp932, RefusesCharactersItCannotHold) {
    std::string out;
    qsizetype bad = -1;
    EXPECT_FALSE(QStringToCp932(QStringLiteral("価格€"), out, &bad));
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(QStringToCp932(QStringLiteral("ab😀"), out, &bad)); // outside the BMP
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(QStringToCp932(QString(QChar(0xD800)), out, &bad)); // lone surrogate
    EXPECT_EQ(bad, 0);
    // A private-use character standing for a code that is defined is not a device code.
    const char32_t fake = 0xF0000 + 0x82A0;
    EXPECT_FALSE(IsDeviceCodeChar(fake));
    EXPECT_FALSE(QStringToCp932(QString::fromUcs4(&fake, 1), out));
    EXPECT_EQ(QStringToCp932Lossy(QStringLiteral("a€b")), "a?b");
}

// Characters other programs write for a code page 932 character under another code point
// take that character's code; a character without a twin is still refused.
TEST(Cp932, FoldsTwinsToTheirCode) {
    const struct {
        char16_t in;
        const char* bytes;
    } cases[] = {
        {u'\u301C', "\x81\x60"}, // 〜 -> ～
        {u'\u2212', "\x81\x7C"}, // − -> －
        {u'\u2016', "\x81\x61"}, // ‖ -> ∥
        {u'\u00A2', "\x81\x91"}, // ¢ -> ￠
        {u'\u00A3', "\x81\x92"}, // £ -> ￡
        {u'\u00AC', "\x81\xCA"}, // ¬ -> ￢
        {u'\u2014', "\x81\x5C"}, // — -> ―
        {u'\u00A5', "\x81\x8F"}, // ¥ -> ￥, not the backslash byte
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_TRUE(QStringToCp932(QStringLiteral("a") + QChar(c.in), out))
            << std::hex << static_cast<int>(c.in);
        EXPECT_EQ(out, std::string("a") + c.bytes) << std::hex << static_cast<int>(c.in);
        // The twin itself reads back, so a folded text stays as it was once stored.
        std::string again;
        ASSERT_TRUE(QStringToCp932(Cp932ToQString(out), again));
        EXPECT_EQ(again, out);
    }
    std::string out;
    qsizetype bad = -1;
    EXPECT_FALSE(QStringToCp932(QStringLiteral("〜€"), out, &bad));
    EXPECT_EQ(bad, 1);
}

TEST(Cp932, BuildTimeTablesAgreeWithTheCodec) {
    // The string table and resource pack use tables made at build time; they must agree
    // with the conversion the windows use.
    for (const auto& [code, text] : DefinedCodes()) {
        EXPECT_EQ(QString::fromUtf8(Cp932ToUtf8(Two(code))), text) << std::hex << code;
        std::string a, b;
        ASSERT_TRUE(QStringToCp932(text, a));
        ASSERT_TRUE(Utf8ToCp932(text.toStdString(), b));
        EXPECT_EQ(a, b) << std::hex << code;
    }
    for (unsigned c = 0; c < 0x100; ++c) {
        if (IsLeadByte(static_cast<unsigned char>(c)))
            continue;
        const std::string one(1, static_cast<char>(c));
        EXPECT_EQ(QString::fromUtf8(Cp932ToUtf8(one)), Cp932ToQString(one)) << c;
    }
}

TEST(Cp932, EdgesAndTextLayerReadEveryByteAlike) {
    // One table and one lead-byte rule: the Qt edge and the plain text layer give the same
    // characters for every one- and two-byte sequence, defined or not (lone lead bytes,
    // 0xFD device codes, stray trail bytes included), and the codec's own answer where it
    // defines the code.
    for (unsigned first = 0; first < 0x100; ++first) {
        for (unsigned second = 0; second < 0x100; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            ASSERT_EQ(Cp932ToQString(bytes), QString::fromUtf8(Cp932ToUtf8(bytes)))
                << std::hex << first << ' ' << second;
        }
        const std::string one(1, static_cast<char>(first));
        ASSERT_EQ(Cp932ToQString(one), QString::fromUtf8(Cp932ToUtf8(one))) << std::hex << first;
    }
    for (const auto& [code, text] : DefinedCodes()) {
        QStringDecoder dec("windows-31j");
        EXPECT_EQ(text, dec.decode(QByteArray::fromStdString(Two(code)))) << std::hex << code;
    }
    EXPECT_TRUE(IsLeadByte(0xFD));
    EXPECT_FALSE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0xA0));
}

} // namespace
