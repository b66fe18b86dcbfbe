#include "model/FieldNames.h"

#include "model/Prompter.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace tessera;
using tessera::test::ScriptedPrompter;
using tessera::test::Utf8;

namespace {

TEST(FieldTag, PacksFourCharactersBigEndian) {
    static_assert(MakeTag("NAME") == 0x4E414D45u);
    EXPECT_EQ(MakeTag("TEL1"), 0x54454C31u);
    EXPECT_EQ(MakeTag("AB"), 0x41420000u);          // short: NUL-padded
    EXPECT_EQ(MakeTag("MEM1XYZ"), MakeTag("MEM1")); // only the first four count
    EXPECT_EQ(TagText(0x4E414D45u), "NAME");
    EXPECT_EQ(TagText(MakeTag("\xFF\x01zz")), std::string("\xFF\x01zz"));
}

TEST(FieldTag, EveryNamedTagHasItsName) {
    const struct {
        const char* tag;
        const char* name;
    } names[] = {
        {"SCRT", "シークレット"},
        {"NAME", "個人名"},
        {"NAPR", "個人名読み"},
        {"TEL1", "電話番号"},
        {"FAX1", "FAX番号"},
        {"OFCE", "会社名"},
        {"OFPR", "会社名読み"},
        {"SCTN", "所属"},
        {"PSTN", "役職"},
        {"ZIPC", "郵便番号"},
        {"ADR1", "住所"},
        {"BRTH", "生年月日"},
        {"RMRK", "備考"},
        {"CHK1", "暑中見舞い"},
        {"CHK2", "年賀状"},
        {"CHK3", "お中元"},
        {"CHK4", "お歳暮"},
        {"ASCT", "交際録"},
        {"TIM1", "開始時刻"},
        {"TIM2", "終了時刻"},
        {"ALRM", "アラーム時刻"},
        {"ALON", "アラーム設定"},
        {"ANN1", "月日"},
        {"ANN2", "月週曜"},
        {"ETDY", "記入日"},
        {"FNDY", "処理日"},
        {"LTDY", "期限日"},
        {"MARK", "チェック"},
        {"PRTY", "重要度"},
        {"MEM1", "内容"},
        {"CLAS", "ファイル名"},
        {"PRF1", "印字形式"},
        {"CLSC", "分類コード"},
        {"IMG1", "イメージデータ"},
        {"SYNC", "シンクロナイズ情報"},
    };
    static_assert(std::size(names) == kNamedTagCount);
    for (int i = 0; i < kNamedTagCount; ++i) {
        EXPECT_EQ(NamedTagAt(i), MakeTag(names[i].tag)) << i;
        EXPECT_EQ(Utf8(FieldDisplayName(MakeTag(names[i].tag))), names[i].name) << names[i].tag;
    }
    EXPECT_TRUE(FieldDisplayName(MakeTag("XXXX")).empty());
    EXPECT_TRUE(FieldDisplayName(MakeTag("name")).empty()); // tags are upper case
    EXPECT_EQ(NamedTagAt(kNamedTagCount), 0u);
    EXPECT_EQ(NamedTagAt(-1), 0u);
}

TEST(Prompter, WithoutAPrompterTheFirstButtonAnswers) {
    ASSERT_EQ(CurrentPrompter(), nullptr);
    EXPECT_EQ(ShowMessage(1537, PromptIcon::Information, PromptButtons::Ok), PromptResult::Ok);
    EXPECT_EQ(ShowMessage(3088, PromptIcon::Question, PromptButtons::OkCancel), PromptResult::Ok);
    EXPECT_EQ(ShowMessage(1078, PromptIcon::Question, PromptButtons::YesNo), PromptResult::Yes);
    EXPECT_EQ(ShowMessage(1078, PromptIcon::Question, PromptButtons::YesNoCancel),
              PromptResult::Yes);
    EXPECT_EQ(ShowMessage(1074, PromptIcon::Warning, PromptButtons::AbortRetryIgnore),
              PromptResult::Abort);
    EXPECT_EQ(ShowMessage(1036, PromptIcon::Stop, PromptButtons::RetryCancel), PromptResult::Retry);
}

TEST(Prompter, ScriptedPrompterRecordsAndAnswers) {
    {
        ScriptedPrompter p;
        EXPECT_EQ(CurrentPrompter(), &p);
        p.Expect(1074, PromptResult::Ignore).Expect(1078, PromptResult::No).Allow(1036);
        EXPECT_EQ(ShowMessage(1036, PromptIcon::Stop, PromptButtons::Ok), PromptResult::Ok);
        EXPECT_EQ(
            ShowMessage(1074, PromptIcon::Warning, PromptButtons::AbortRetryIgnore, 3, 2, "x"),
            PromptResult::Ignore);
        EXPECT_EQ(ShowMessage(1078, PromptIcon::Question, PromptButtons::YesNo), PromptResult::No);
        EXPECT_EQ(p.Ids(), (std::vector<int>{1036, 1074, 1078}));
        EXPECT_EQ(p.Messages()[1].Utf8(),
                  "レコード番号 3、フィールド番号 2 の内容 'x' "
                  "が不正です。\n無視するとこのフィールドの内容は空欄になります。");
        EXPECT_EQ(p.Messages()[1].buttons, PromptButtons::AbortRetryIgnore);
        EXPECT_EQ(p.Count(1036), 1);
        EXPECT_EQ(p.Pending(), 0u);
    }
    {
        // An allowed message answered by a function; the hook sees each message first.
        ScriptedPrompter p;
        std::vector<int> seen;
        p.OnShow([&](const ScriptedPrompter::Shown& s) { seen.push_back(s.id); });
        int asked = 0;
        p.Allow(1074, [&] { return ++asked == 1 ? PromptResult::Retry : PromptResult::Ignore; });
        EXPECT_EQ(
            ShowMessage(1074, PromptIcon::Warning, PromptButtons::AbortRetryIgnore, 1, 1, "a"),
            PromptResult::Retry);
        EXPECT_EQ(
            ShowMessage(1074, PromptIcon::Warning, PromptButtons::AbortRetryIgnore, 1, 1, "a"),
            PromptResult::Ignore);
        EXPECT_EQ(seen, (std::vector<int>{1074, 1074}));
    }
    EXPECT_EQ(CurrentPrompter(), nullptr); // the previous prompter is back
}

TEST(Prompter, ScriptedPrompterFailsOnSurprises) {
    // An unexpected message, and an expected one never shown, both fail the test.
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            ShowMessage(1037, PromptIcon::Stop, PromptButtons::Ok);
        },
        "unexpected message 1037: ファイル操作中にエラーが発生しました");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.Expect(1540);
        },
        "message 1540 was expected");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter p;
            p.Expect(1540);
            ShowMessage(1541, PromptIcon::Warning, PromptButtons::Ok);
            p.SetLenient(true);
        },
        "expected 1540");
}

} // namespace
