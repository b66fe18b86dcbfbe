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

QString EditorText(int id) {
    return Cp932ToQString(LoadString(id));
}

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
    text += "\n";
    text += FormatText(LoadString(kTextEditField), {FieldName(tag)});
    if (Prompter* p = CurrentPrompter())
        p->Show(kMsgEditBadInput, text, PromptIcon::Warning, PromptButtons::Ok);
}

QString CodePointText(const QString& chars) {
    QStringList codes;
    for (char32_t c : chars.toUcs4())
        codes << QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0')).toUpper();
    return codes.join(QLatin1Char(' '));
}

void ShowRequiredMissing(FieldTag tag) {
    std::string text = LoadString(kMsgEditRequired);
    text += "\n";
    text += FormatText(LoadString(kTextEditField), {FieldName(tag)});
    if (Prompter* p = CurrentPrompter())
        p->Show(kMsgEditRequired, text, PromptIcon::Warning, PromptButtons::Ok);
}

void ShowTextRefused(TextCheck check, FieldTag tag, const QString& bad) {
    if (check == TextCheck::Unencodable) {
        // A code page 932 message cannot hold the character itself: the message names its
        // code, the details show it, and the editor selects it in the field.
        const QString code = CodePointText(bad);
        const std::string details =
            (QStringLiteral("\u300C") + bad + QStringLiteral("\u300D ") + code).toStdString();
        ShowMessageWithDetails(kMsgEditUnencodable, PromptIcon::Warning, PromptButtons::Ok, details,
                               FieldName(tag), QStringToCp932Lossy(code));
    } else if (check == TextCheck::Forbidden) {
        ShowMessage(kMsgEditForbidden, PromptIcon::Warning, PromptButtons::Ok, FieldName(tag));
    }
}

// ---------------------------------------------------------------- calendar

namespace {
std::optional<QDateTime> g_fixedNow;
} // namespace

QString DayOfWeekText(int year, int month, int day) {
    return EditorText(6400 + DayOfWeek(year, month, day));
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
