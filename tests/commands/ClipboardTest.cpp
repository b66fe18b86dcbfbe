// The clipboard's text rules: what a copy puts there, what a paste accepts from our own
// type and from other programs' text.

#include "document/Clipboard.h"

#include "CommandTestSupport.h"
#include "base/Cp932.h"
#include "support/ScriptedPrompter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

struct UnicodeCase {
    const char* name;
    QString text;
    bool ok;
    std::string bytes; // expected result (code page 932) when ok
    std::string bad;   // what the refusal names
    int message = 0;
};

TEST(ClipboardTextTest, TextFromOtherProgramsIsMadeFitForTheReader) {
    const UnicodeCase cases[] = {
        {"crlf kept", QStringLiteral("a\r\nb\r\n"), true, "a\r\nb\r\n\x1A", {}},
        {"lf becomes crlf", QStringLiteral("a\nb\n"), true, "a\r\nb\r\n\x1A", {}},
        {"lone cr becomes crlf", QStringLiteral("a\rb\r"), true, "a\r\nb\r\n\x1A", {}},
        {"mixed", QStringLiteral("a\r\r\nb\n\rc"), true, "a\r\n\r\nb\r\n\r\nc\r\n\x1A", {}},
        {"last line gets its line end",
         QStringLiteral("\"i\",\"NAME\""),
         true,
         "\"i\",\"NAME\"\r\n\x1A",
         {}},
        {"end mark at the end is taken", QStringLiteral("a\r\n\x1A\r\n"), true, "a\r\n\x1A", {}},
        {"japanese", QStringLiteral("山田\n"), true, Cp932("山田") + "\r\n\x1A", {}},
        {"character outside code page 932",
         QStringLiteral("a\u00E9b"),
         false,
         {},
         "U+00E9",
         kMsgClipboardBadChar},
        {"character outside the basic plane",
         QStringLiteral("ok\U0001F600"),
         false,
         {},
         "U+1F600",
         kMsgClipboardBadChar},
        {"nul",
         QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
         false,
         {},
         "0x00",
         kMsgClipboardControl},
        {"end mark inside",
         QStringLiteral("a\x1A"
                        "b\r\n"),
         false,
         {},
         "0x1A",
         kMsgClipboardControl},
    };
    for (const UnicodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        std::string bad;
        int message = 0;
        EXPECT_EQ(RecordTextFromUnicode(c.text, out, &bad, &message), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.bytes);
        } else {
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(bad, c.bad);
            EXPECT_EQ(message, c.message);
        }
    }
}

TEST(ClipboardTextTest, OurOwnBytesKeepEveryByteAndGetOneEndMark) {
    // 0x81 0x40 is a double-byte space; 0xF0 0x40 a device code no Unicode text could carry.
    const std::string body = "\"D\",\"\x81\x40\xF0\x40\"\r\n";
    std::string out;
    EXPECT_TRUE(RecordTextFromBytes(body + "\x1A", out));
    EXPECT_EQ(out, body + "\x1A");
    EXPECT_TRUE(RecordTextFromBytes(body, out));
    EXPECT_EQ(out, body + "\x1A");
    std::string bad;
    EXPECT_FALSE(RecordTextFromBytes("a\x1A"
                                     "b\r\n\x1A",
                                     out, &bad));
    EXPECT_EQ(bad, "0x1A");
    EXPECT_FALSE(RecordTextFromBytes(std::string("a\0b", 3), out, &bad));
    EXPECT_EQ(bad, "0x00");
}

TEST(ClipboardTest, ACopyCarriesUnicodeTextAndTheExactBytes) {
    const std::string text = std::string("\"i\",\"NAME\"\r\n\"T\",\"") + Cp932("個人名") +
                             "\"\r\n\"D\",\"\xF0\x40\"\r\n\x1A";
    ASSERT_TRUE(PutRecordText(text));
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    const QByteArray ours = mime->data(QString::fromLatin1(kRecordMimeType));
    EXPECT_EQ(std::string(ours.constData(), static_cast<std::size_t>(ours.size())), text);
    EXPECT_TRUE(mime->text().contains(QStringLiteral("個人名")));
    EXPECT_FALSE(mime->text().contains(QChar(0x1A))) << "other programs get no end mark";
    EXPECT_TRUE(ClipboardHasRecordText());

    std::string back;
    ASSERT_EQ(TakeRecordText(back), ClipboardText::Ok);
    EXPECT_EQ(back, text) << "a paste prefers our own bytes";
}

TEST(ClipboardTest, OtherProgramsGetTheDeviceCharactersMappedAndWeGetTheBytes) {
    // 0xED40 is the device's circled one (纊 to code page 932); 0xEBAE its digit zero.
    const std::string text = "\"i\",\"NAME\"\r\n\"T\",\"N\"\r\n\"D\",\"\xED\x40-\xEB\xAE\"\r\n\x1A";
    ASSERT_TRUE(PutRecordText(text));
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->text().contains(QStringLiteral("\"①-0\""))) << mime->text().toStdString();
    EXPECT_FALSE(mime->text().contains(QStringLiteral("纊")));
    const QByteArray ours = mime->data(QString::fromLatin1(kRecordMimeType));
    EXPECT_EQ(std::string(ours.constData(), static_cast<std::size_t>(ours.size())), text);
}

TEST(ClipboardTest, EmptyClipboardGivesNothingAndNoMessage) {
    ScriptedPrompter prompter;
    QGuiApplication::clipboard()->clear();
    std::string out;
    EXPECT_EQ(TakeRecordText(out), ClipboardText::None);
    EXPECT_FALSE(ClipboardHasRecordText());
    EXPECT_TRUE(prompter.Ids().empty());
}

} // namespace
} // namespace tessera::test
