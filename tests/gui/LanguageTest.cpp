// The window in the language of the run: English with --lang en (menus, hints, panes,
// column heads, a question), Japanese as before otherwise.

#include "GuiTestSupport.h"
#include "RecordFactory.h"
#include "app/Help.h"
#include "app/MainFrame.h"
#include "app/commands/CommandRouter.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/Field.h"
#include "support/ScriptedPrompter.h"
#include "text/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

constexpr int kMsgAskToSave = 61709;

QStringList MenuTitles(CMainFrame* frame) {
    QStringList out;
    for (QMenu* m : frame->CurrentMenus())
        out << m->title();
    return out;
}

struct Shown {
    QStringList menus;
    QString newText, newHint, newTip, count, firstColumn, question, manual;
    QStringList untold; // commands without a menu text, hint or tool tip
};

// Starts Tessera with `args`, opens a phone book and closes it modified.
Shown StartAndLook(const QStringList& args) {
    Shown shown;
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    {
        StartedApp s(args);
        EXPECT_TRUE(s.started);
        CMainFrame* frame = s.app->MainFrame();
        CTesseraDoc* doc = frame->OpenDocumentFile(
            WriteFile(dir, QStringLiteral("a.tsr"), testdata::MakeTextForm(kKindPhoneBook, 3)));
        EXPECT_NE(doc, nullptr);
        if (doc == nullptr)
            return shown;
        frame->RefreshStatusPanes();
        shown.menus = MenuTitles(frame);
        QAction* a = frame->Action(ID_FILE_NEW);
        shown.newText = a->text();
        shown.newHint = a->statusTip();
        shown.newTip = a->toolTip();
        for (const CommandEntry& row : frame->Router().Table()) {
            const QAction* c = frame->Action(row.id);
            if (c == nullptr || c->text().isEmpty() || c->statusTip().isEmpty() ||
                c->toolTip().isEmpty())
                shown.untold << QString::number(row.id);
        }
        shown.count = frame->CountPane()->text().trimmed();
        shown.manual = QFileInfo(ManualPath()).fileName();
        shown.firstColumn = frame->ActiveView()->model()->headerData(1, Qt::Horizontal).toString();
        doc->SetModifiedFlag(true);
        prompter.Expect(kMsgAskToSave, PromptResult::No);
        EXPECT_TRUE(frame->CloseDocument(doc));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const auto messages = prompter.Messages();
    if (!messages.empty())
        shown.question = QString::fromStdString(messages.back().Utf8());
    RestoreBuiltInStrings();
    ReloadMarkStrings();
    return shown;
}

TEST(LanguageTest, EnglishRunShowsEnglishJapaneseRunAsBefore) {
    const Shown en = StartAndLook({QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(en.menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                     QStringLiteral("&View"), QStringLiteral("&Record"),
                                     QStringLiteral("&Options"), QStringLiteral("&Window"),
                                     QStringLiteral("&Help")}));
    EXPECT_EQ(en.newText, QStringLiteral("&New\tCtrl+N"));
    EXPECT_EQ(en.newHint, QStringLiteral("Creates a new document"));
    EXPECT_EQ(en.newTip, QStringLiteral("New"));
    EXPECT_TRUE(en.untold.isEmpty()) << en.untold.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(en.count, QStringLiteral("3 records"));
    EXPECT_EQ(en.firstColumn, QStringLiteral("Name"));
    EXPECT_EQ(en.manual, QStringLiteral("manual.en.html"));
    EXPECT_TRUE(en.question.startsWith(QStringLiteral("Save the changes to ")))
        << en.question.toStdString();

    const Shown ja = StartAndLook({}); // the tests' environment says Japanese
    EXPECT_EQ(ja.menus.value(0), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(ja.newText, QStringLiteral("新規作成(&N)\tCtrl+N"));
    EXPECT_EQ(ja.newHint, QStringLiteral("新しいドキュメントを作成します"));
    EXPECT_EQ(ja.newTip, QStringLiteral("新規作成"));
    EXPECT_TRUE(ja.untold.isEmpty()) << ja.untold.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(ja.count, QStringLiteral("3レコード"));
    EXPECT_EQ(ja.firstColumn, QStringLiteral("個人名"));
    EXPECT_EQ(ja.manual, QStringLiteral("manual.html"));
    EXPECT_TRUE(ja.question.endsWith(QStringLiteral("への変更を保存しますか?")))
        << ja.question.toStdString();
}

} // namespace
} // namespace tessera::test
