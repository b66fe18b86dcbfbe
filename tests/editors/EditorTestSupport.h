#pragma once
// Shared pieces of the editor tests: one application, records of a kind, settings without
// the user's store, and access to an editor's controls by object name.

#include "app/editors/EditorCommon.h"
#include "app/editors/EditorFactory.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tessera::test {

inline QApplication& EditorApp() {
    static int argc = 1;
    static char name[] = "editor-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *app;
}

// A record set of one kind that hands out records and reads their exchange texts back.
class KindRecords {
public:
    explicit KindRecords(int kind) { EXPECT_TRUE(m_set.SetKind(kind)); }

    std::unique_ptr<CDataRecord> New() const { return m_set.NewRecord(); }

    // A record whose fields take the given exchange texts ("TAG" -> text).
    std::unique_ptr<CDataRecord>
    With(std::initializer_list<std::pair<const char*, std::string>> values) const {
        auto r = New();
        for (const auto& [tag, text] : values) {
            const int i = r->FindField(MakeTag(tag));
            EXPECT_GE(i, 0) << tag;
            if (i >= 0) {
                EXPECT_TRUE(r->FieldAt(i)->ParseText(text)) << tag << " refused " << text;
            }
        }
        return r;
    }

    // The exchange text of one field.
    static std::string Text(const CDataRecord& r, const char* tag) {
        const int i = r.FindField(MakeTag(tag));
        if (i < 0 || r.FieldAt(i) == nullptr)
            return "<no field>";
        return r.FieldAt(i)->Text(false);
    }
    // Every field's exchange text in tag order, for whole-record comparisons.
    static std::string All(const CDataRecord& r) {
        std::string out;
        for (int i = 0; i < r.FieldCount(); ++i) {
            out += r.FieldAt(i) ? r.FieldAt(i)->Text(false) : std::string("-");
            out += '|';
        }
        return out;
    }

private:
    CRecordSet m_set;
};

// The common fixture: the application, a scripted prompter, settings in a temporary folder
// and a fixed clock (2024-06-15 10:30 local).
class EditorTest : public ::testing::Test {
protected:
    EditorTest() {
        EditorApp();
        SetEditorClockForTests(QDateTime(QDate(2024, 6, 15), QTime(10, 30)));
        settings.SetModel(4); // PI-6000
    }
    ~EditorTest() override { SetEditorClockForTests(std::nullopt); }

    std::unique_ptr<CRecordEditor> Make(int kind) {
        auto e = CreateEditor(kind, nullptr, settings);
        EXPECT_NE(e, nullptr);
        return e;
    }

    // OK pressed on an editor storing into `record`: true when the dialog accepted.
    static bool PressOk(CRecordEditor& editor, CDataRecord& record) {
        editor.SetTarget(&record);
        editor.accept();
        return editor.result() == QDialog::Accepted;
    }

    template <class W> static W* Child(QObject& parent, const char* name) {
        W* w = parent.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    static void SetText(QObject& editor, const char* name, const QString& text) {
        if (auto* line = editor.findChild<QLineEdit*>(QString::fromLatin1(name))) {
            line->setText(text);
            return;
        }
        if (auto* spin = editor.findChild<CSpinEdit*>(QString::fromLatin1(name))) {
            if (text.isEmpty())
                spin->Clear();
            else
                spin->SetNumber(text.toInt());
            return;
        }
        if (auto* multi = editor.findChild<CByteTextEdit*>(QString::fromLatin1(name))) {
            multi->setPlainText(text);
            return;
        }
        ADD_FAILURE() << "no edit " << name;
    }

    static void SetDate(QObject& editor, const char* prefix, const QString& y, const QString& m,
                        const QString& d) {
        const std::string p(prefix);
        SetText(editor, (p + "Year").c_str(), y);
        SetText(editor, (p + "Month").c_str(), m);
        SetText(editor, (p + "Day").c_str(), d);
    }

    // Shows the editor as the active window, so focus and keys work as for a user.
    static void ShowActive(QWidget& editor) {
        editor.show();
        editor.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
    }

    // The object name of the control holding the focus (a spin box's, not its inner edit's).
    static QString FocusName() {
        QWidget* w = QApplication::focusWidget();
        while (w != nullptr &&
               (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))))
            w = w->parentWidget();
        return w != nullptr ? w->objectName() : QString();
    }

    // The controls Tab reaches from the focus, in order, `count` presses.
    static QStringList TabWalk(int count) {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names << FocusName();
        }
        return names;
    }

    TempSettings temp;
    CAppSettings settings;
    ScriptedPrompter prompter;
};

inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace tessera::test
