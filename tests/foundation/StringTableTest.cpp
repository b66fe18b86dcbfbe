#include "text/StringTable.h"

#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "support/ScriptedPrompter.h"
#include "text/Cp932Text.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

using namespace tessera;
using tessera::test::Cp932;
using tessera::test::Utf8;

namespace {

struct Sample {
    int id;
    const char* utf8;
};

// A sample from every area of the program, checked byte for byte.
const Sample kSamples[] = {
    {129, "\nTSRDAT\nTSR Data\nTSR Data Files (*.tsr)\n.tsr\nTessera.TSR\nZaurus TSR Files"},
    {1008, "このアプリケーションの実行にはWindows2000以上が必要です"},
    {1012, "文字変換テーブルの読み込みに失敗しました"},
    {1013, "不正なザウルス機種が設定されていたので既定値(PI-3000)"
           "に戻しました。\n正しい機種を再設定してください。"},
    {1014, "%d個のレジストリを書き込みできませんでした"},
    {1028, "バッファサイズ(%dバイト)以上のデータ(%dバイト)"
           "を扱おうとしました。\nバッファサイズを大きくしてから、もう一度行ってください。"},
    {1057, "貼り付けようとするビットマップのサイズが大きすぎるか、色数が2値(1bpp)ではありません。"},
    {1074, "レコード番号 %d、フィールド番号 %d の内容 '%s' "
           "が不正です。\n無視するとこのフィールドの内容は空欄になります。"},
    {1077, "レコード番号 %d のフィールド数が多すぎます。\nデータ内に "
           "\",という文字列が含まれていると、このエラーが出る場合があります。\n"
           "無視するとフィールド番号 %d 以降の内容は切り捨てられます。"},
    {1078,
     "以降の不正なデータ項目を全て無視しますか？\nはい を選ぶと不正なデータ項目は空欄になります"},
    {1090, "レポートの項目には項目名が必要です"},
    {1105, "%d バイト送信 (%d%%)"},
    {1111, "パソコンリンクを解除しています"},
    {1120,
     "ポートがオープンできません。他のアプリケーションがこのポートを使用中かもしれません。\n"
     "他のポートを選択するか、このポートを使用しているアプリケーションを終了させてください。"},
    {1122, "このポートは9600bpsに設定することが出来ません。他のポートを選択してください。"},
    {1289, "フィルタの内部エラーです"},
    {1290, "エクスポートが正常に終了しました。\n出力先ファイル名: %s"},
    {1541, "送信が中断されました"},
    {2050, "手書きメモのデータが異常です。ヘッダに書かれたデータ長よりも実際のデータの方が長かった"
           "ので切り捨てました。"},
    {2568, "ZRSファイルのオープンに失敗しました"},
    {3036, "アラーム時刻"},
    {3050, "個"},
    {3073, ".pl"},
    {3074, "フィルタ '%s' を削除してもよろしいですか？"},
    {3089, "ザウルスから受信します。Tessera側で受信を始めてから、ザウルス側で送信を始めてください。"
           "\n受信を始めてもよろしいですか？"},
    {3090, "%d件のレコードを削除します。よろしいですか？"},
    {4096, "電話帳"},
    {4100, "記念日(月/週/曜)"},
    {4103, "手書きメモ"},
    {4111, "不明"},
    {4114, "%4dレコード"},
    {5139, "選択された回線は発信(MAKECALL)をサポートしていません"},
    {5142, "テレフォニーデバイスを使用中です。"},
    {6144, "PI-3000"},
    {6150, "PI-6600"},
    {6153, "MobileZ"},
    {6154, "PI系以外"},
    {6400, "(日)"},
    {6406, "(土)"},
    {12800, "○"},
    {12817, "Ａ"},
    {12820, "済"},
    {12832, "1月"},
    {12843, "12月"},
    {12851, "第4"},
    {12870, "土曜日"},
    {32772, "ザウルスから受信(&G)..."},
    {32777, "プロパティ(&P)...\tEnter"},
    {57344, "Tessera"},
    {57600, "新規作成(&N)\tCtrl+N"},
    {59143, "記念日 (月/週/曜)"},
    {61716, "%1 文字以内で入力してください。"},
    {kControlTextBase + 1077, "&Dial"},
    {kControlTextBase + 1099, "半角ひらがな、半角カタカナを変換する(&H)"},
    {kDialogTitleBase + 186, "フィルタプログラムの設定"},
    {kFixedTextBase + 41, "@で1秒、$で5秒、%で10秒間待ちます"},
};

TEST(StringTable, SampleTextsAreExact) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.id);
        ASSERT_TRUE(HasString(s.id));
        EXPECT_EQ(Utf8(LoadString(s.id)), s.utf8);
        // The table holds code page 932, not UTF-8.
        std::string expected;
        ASSERT_TRUE(QStringToCp932(QString::fromUtf8(s.utf8), expected));
        EXPECT_EQ(LoadString(s.id), expected);
    }
}

TEST(StringTable, IdsWithoutGivenWordsHaveTexts) {
    for (int id : {2051, 2562, 2569, 4004, 4005, 4006, 4007, 5120, 32789, 32790, 32796, 32803}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(LoadString(id).empty());
    }
    EXPECT_EQ(Utf8(FormatString(2569, "VERYLONGADDINNAME.EXE")).find("VERYLONGADDINNAME.EXE") !=
                  std::string::npos,
              true);
    // The web-page commands lead to sections of the installed manual.
    for (int id : {4004, 4005, 4006, 4007})
        EXPECT_EQ(LoadString(id).rfind('#', 0), 0u) << id;
}

TEST(StringTable, UnknownIdIsEmpty) {
    EXPECT_FALSE(HasString(1));
    EXPECT_TRUE(LoadString(1).empty());
    EXPECT_TRUE(LoadString(-5).empty());
}

TEST(StringTable, RunsOfNamesAreComplete) {
    // Kind names, model names, field names and the kinds' tag lists are read as runs.
    for (int id = 4096; id <= 4103; ++id)
        EXPECT_FALSE(LoadString(id).empty()) << id;
    for (int id = 6144; id <= 6154; ++id)
        EXPECT_FALSE(LoadString(id).empty()) << id;
    for (int i = 0; i < kNamedTagCount; ++i)
        EXPECT_EQ(LoadString(kFieldNameFirstId + i), FieldDisplayName(NamedTagAt(i))) << i;
    EXPECT_FALSE(HasString(kFieldNameFirstId + kNamedTagCount));

    struct KindTags {
        int base;
        std::vector<std::string> tags;
    };
    const KindTags kinds[] = {
        {10240,
         {"SCRT", "NAME", "NAPR", "TEL1", "ZIPC", "ADR1", "BRTH", "RMRK", "CHK1", "CHK2", "CHK3",
          "CHK4"}},
        {10256,
         {"SCRT", "NAME", "NAPR", "TEL1", "FAX1", "OFCE", "OFPR", "SCTN", "PSTN", "ZIPC", "ADR1",
          "BRTH", "RMRK", "CHK1", "CHK2", "CHK3", "CHK4", "ASCT"}},
        {10288, {"SCRT", "TIM1", "TIM2", "ALRM", "ALON", "MEM1"}},
        {10304, {"SCRT", "ANN1", "MEM1"}},
        {10320, {"SCRT", "ANN2", "MEM1"}},
        {10336, {"SCRT", "ETDY", "FNDY", "MARK", "PRTY", "MEM1", "LTDY"}},
        {10352, {"SCRT", "CLAS", "MEM1", "PRF1", "CLSC"}},
        {10384, {"SCRT", "CLAS", "IMG1"}},
    };
    for (const KindTags& k : kinds) {
        for (std::size_t i = 0; i < k.tags.size(); ++i)
            EXPECT_EQ(LoadString(k.base + static_cast<int>(i)), k.tags[i]) << k.base + i;
        EXPECT_FALSE(HasString(k.base + static_cast<int>(k.tags.size())))
            << "list of " << k.base << " runs on";
    }
}

TEST(FormatText, FillsArguments) {
    EXPECT_EQ(Utf8(FormatString(1014, 3)), "3個のレジストリを書き込みできませんでした");
    EXPECT_EQ(Utf8(FormatString(1105, 2048, 50)), "2048 バイト送信 (50%)");
    EXPECT_EQ(Utf8(FormatString(4114, 12)), "  12レコード");
    EXPECT_EQ(Utf8(FormatString(3074, Cp932("ＣＳＶ変換"))),
              "フィルタ 'ＣＳＶ変換' を削除してもよろしいですか？");
    EXPECT_EQ(Utf8(FormatString(1074, 2, 5, Cp932("あ%dい"))),
              "レコード番号 2、フィールド番号 5 の内容 'あ%dい' "
              "が不正です。\n無視するとこのフィールドの内容は空欄になります。");
}

TEST(FormatText, Conversions) {
    const struct {
        const char* format;
        std::vector<FormatArg> args;
        const char* expected;
    } cases[] = {
        {"%d|%i|%u", {-7LL, 8LL, -1LL}, "-7|8|4294967295"},
        {"%x %X %04x", {255LL, 255LL, 10LL}, "ff FF 000a"},
        {"[%5s][%-5s]", {std::string("ab"), std::string("cd")}, "[   ab][cd   ]"},
        {"[%-4d][%04d]", {7LL, -7LL}, "[7   ][-007]"},
        {"%c%c", {65LL, std::string("Bx")}, "AB"},
        {"100%%", {}, "100%"},
        {"%d and %s", {}, "0 and "},          // missing arguments
        {"%d", {1LL, 2LL, 3LL}, "1"},         // extra arguments
        {"%s", {42LL}, "42"},                 // number for text
        {"%d", {std::string("12abc")}, "12"}, // text for number
        {"%*d|%.*s", {4LL, 5LL, 2LL, std::string("abc")}, "   5|ab"},
        {"tail %", {}, "tail %"},
        {"%q", {}, "%q"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatText(c.format, c.args), c.expected) << c.format;
}

TEST(FormatText, NeverSplitsDoubleByteCharacters) {
    // Precision counts bytes but stops before a character that would not fit whole.
    EXPECT_EQ(Utf8(FormatText("[%.3s]", {Cp932("あいう")})), "[あ]");
    EXPECT_EQ(Utf8(FormatText("[%.4s]", {Cp932("あいう")})), "[あい]");
    // '%' right before a double-byte character is no conversion.
    EXPECT_EQ(Utf8(FormatText(Cp932("%で%d秒"), {std::vector<FormatArg>{5LL}})), "%で5秒");
    // A trail byte that looks like a lead byte must not swallow a following '%'.
    const std::string s = Cp932("＝＝") + "%d"; // ＝ = 81 81: its trail byte is a lead byte value
    EXPECT_EQ(FormatText(s, {9LL}), Cp932("＝＝") + "9");
    // A huge width is capped instead of asking for gigabytes.
    EXPECT_LE(FormatText("%999999999d", {1LL}).size(), 5000u);
}

class ResourcePackTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& [id, text] : m_saved)
            OverrideString(id, text);
    }
    void Save(int id) { m_saved.emplace_back(id, LoadString(id)); }
    std::string Write(const std::string& content) {
        std::string path = m_dir.filePath(QStringLiteral("pack.txt")).toStdString();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    QTemporaryDir m_dir;
    std::vector<std::pair<int, std::string>> m_saved;
};

TEST_F(ResourcePackTest, OverridesWhatItCanTakeAndSkipsTheRest) {
    Save(1537);
    Save(1540);
    Save(1541);
    const std::string path =
        Write("\xEF\xBB\xBF# English pack\r\n"
              "1537\tReceived.\\nDone.\r\n"
              "1540\t\xF0\x9F\x98\x80 sent\n" // an emoji code page 932 cannot hold
              "1541\tbad \\q escape\n"
              "notanid\ttext\n"
              "\n");
    EXPECT_EQ(LoadResourcePack(path), 1);
    EXPECT_EQ(LoadString(1537), "Received.\nDone.");
    EXPECT_EQ(Utf8(LoadString(1540)), "送信が正常に終了しました");
    EXPECT_EQ(Utf8(LoadString(1541)), "送信が中断されました");
}

TEST_F(ResourcePackTest, JapaneseTextIsStoredAsCodePage932) {
    Save(1538);
    EXPECT_EQ(LoadResourcePack(Write("1538\t受信を止めました\n")), 1);
    EXPECT_EQ(LoadString(1538), Cp932("受信を止めました"));
}

TEST_F(ResourcePackTest, MissingFileIsMinusOne) {
    EXPECT_EQ(LoadResourcePack(m_dir.filePath(QStringLiteral("none.txt")).toStdString()), -1);
}

TEST(Cp932Text, RefusesWhatItCannotHold) {
    std::string out;
    std::size_t bad = 99;
    EXPECT_FALSE(Utf8ToCp932("ab\xC3\x28", out, &bad)); // broken sequence
    EXPECT_EQ(bad, 2u);
    EXPECT_FALSE(Utf8ToCp932("\xC0\xAF", out));            // overlong '/'
    EXPECT_FALSE(Utf8ToCp932("\xED\xA0\x80", out));        // lone surrogate
    EXPECT_FALSE(Utf8ToCp932("x\xE2\x82\xAC", out, &bad)); // the euro sign has no code
    EXPECT_EQ(bad, 1u);
    EXPECT_FALSE(Utf8ToCp932("\xE3\x81", out)); // cut off
    EXPECT_TRUE(Utf8ToCp932("ｶﾞ①", out));
    EXPECT_EQ(out, "\xB6\xDE\x87\x40");
}

TEST(Cp932Text, DeviceCodesSurviveARoundTrip) {
    const std::string device("\xEB\xA4\x41\xFD\xD0\x80", 6);
    const std::string utf8 = Cp932ToUtf8(device);
    std::string back;
    ASSERT_TRUE(Utf8ToCp932(utf8, back));
    EXPECT_EQ(back, device);
    // A private-use character that stands for a defined code is not taken back.
    std::string out;
    EXPECT_FALSE(Utf8ToCp932("\xF3\xB8\x8A\xA0", out)); // U+F82A0 = 0x82A0 "あ"
}

} // namespace
