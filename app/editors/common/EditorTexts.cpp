#include "app/editors/common/EditorTexts.h"

// ShowTextRefused names the outcome of a text edit.
#include "app/Help.h"
#include "app/editors/common/TextEdits.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>

namespace tessera {

// ---------------------------------------------------------------- texts and messages

QString EditorText(int id, const char* fallbackUtf8) {
    if (HasString(id))
        return Cp932ToQString(LoadString(id));
    return QString::fromUtf8(fallbackUtf8);
}

void ShowEditorMessage(int id, const char* fallbackUtf8, PromptIcon icon,
                       const std::vector<std::string>& args) {
    const std::string format =
        HasString(id) ? LoadString(id) : QStringToCp932Lossy(QString::fromUtf8(fallbackUtf8));
    std::vector<FormatArg> formatArgs(args.begin(), args.end());
    const std::string text = FormatText(format, formatArgs);
    if (Prompter* p = CurrentPrompter())
        p->Show(id, text, icon, PromptButtons::Ok);
}

std::string FieldName(FieldTag tag) {
    const std::string& name = FieldDisplayName(tag);
    return name.empty() ? TagText(tag) : name;
}

void ShowFieldRefused(FieldTag tag) {
    // 1073 itself names no field; the line below it tells the user where to look.
    std::string text = LoadString(kMsgEditBadInput);
    const std::string format = HasString(kTextEditField)
                                   ? LoadString(kTextEditField)
                                   : QStringToCp932Lossy(QStringLiteral("項目: %s"));
    text += "\n";
    text += FormatText(format, {FieldName(tag)});
    if (Prompter* p = CurrentPrompter())
        p->Show(kMsgEditBadInput, text, PromptIcon::Warning, PromptButtons::Ok);
}

void ShowTextRefused(TextCheck check, FieldTag tag, const QString& bad) {
    if (check == TextCheck::Unencodable) {
        ShowEditorMessage(
            kMsgEditUnencodable,
            "「%s」の文字「%s」はザウルスに送れない文字です。別の文字に置き換えてください。",
            PromptIcon::Warning, {FieldName(tag), QStringToCp932Lossy(bad)});
    } else if (check == TextCheck::Forbidden) {
        ShowEditorMessage(
            kMsgEditForbidden,
            "「%s」にタブや制御文字、または引用符とコンマの並び(\",)は入力できません。",
            PromptIcon::Warning, {FieldName(tag)});
    }
}

// ---------------------------------------------------------------- calendar

namespace {
std::optional<QDateTime> g_fixedNow;
} // namespace

QString DayOfWeekText(int year, int month, int day) {
    static const char* const kNames[7] = {"(日)", "(月)", "(火)", "(水)", "(木)", "(金)", "(土)"};
    const int dow = DayOfWeek(year, month, day);
    return EditorText(6400 + dow, kNames[dow]);
}

int AgeOn(const QDate& today, int year, int month, int day) {
    return tessera::AgeOn(today.year(), today.month(), today.day(), year, month, day);
}

QDateTime EditorNow() {
    return g_fixedNow ? *g_fixedNow : QDateTime::currentDateTime();
}
QDate EditorToday() {
    return EditorNow().date();
}
void SetEditorClockForTests(std::optional<QDateTime> now) {
    g_fixedNow = std::move(now);
}

} // namespace tessera
