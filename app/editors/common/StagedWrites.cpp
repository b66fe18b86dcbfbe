#include "app/editors/common/StagedWrites.h"

#include "app/Help.h"
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
#include <QTextCursor>
#include <algorithm>

namespace tessera {

// ---------------------------------------------------------------- staged writes

void CFieldWrites::Set(FieldTag tag, FieldValue value) {
    m_writes.push_back(Write{tag, std::move(value)});
}

void CFieldWrites::Clear(FieldTag tag) {
    m_writes.push_back(Write{tag, std::nullopt});
}

void CFieldWrites::SetText(FieldTag tag, std::string text) {
    if (text.empty())
        Clear(tag);
    else
        Set(tag, std::move(text));
}

void CFieldWrites::SetDate(FieldTag tag, const std::optional<DateTimeValue>& value) {
    if (value && value->flags != 0)
        Set(tag, *value);
    else
        Clear(tag);
}

bool CFieldWrites::Has(FieldTag tag) const {
    return std::any_of(m_writes.begin(), m_writes.end(),
                       [tag](const Write& w) { return w.tag == tag; });
}

bool CFieldWrites::Check(const CDataRecord& record) const {
    for (const Write& w : m_writes) {
        const int index = record.FindField(w.tag);
        if (index < 0 || record.FieldAt(index) == nullptr) {
            ShowFieldRefused(w.tag);
            return false;
        }
        if (!w.value)
            continue;
        std::unique_ptr<CField> scratch = CreateField(w.tag);
        if (!scratch || !scratch->SetValue(*w.value)) {
            ShowFieldRefused(w.tag);
            return false;
        }
    }
    return true;
}

bool CFieldWrites::Apply(CDataRecord& record) const {
    if (!Check(record))
        return false;
    for (const Write& w : m_writes) {
        const int index = record.FindField(w.tag);
        // Clearing first makes the value replace the old one whole: a date whose year the
        // user emptied must lose its year, not keep the old one.
        record.ClearField(index);
        if (w.value && !record.FieldAt(index)->SetValue(*w.value)) {
            ShowFieldRefused(w.tag);
            return false;
        }
    }
    return true;
}

const CField* FieldOf(const CDataRecord& record, FieldTag tag) {
    const int index = record.FindField(tag);
    return index < 0 ? nullptr : record.FieldAt(index);
}

bool LoadText(const CDataRecord& record, FieldTag tag, std::string& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr)
        return false;
    const std::string* s = ValueAs<std::string>(f->GetValue());
    if (s == nullptr)
        return false;
    out = *s;
    return true;
}

bool LoadInt(const CDataRecord& record, FieldTag tag, int32_t& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr)
        return false;
    const int32_t* v = ValueAs<int32_t>(f->GetValue());
    if (v == nullptr)
        return false;
    out = *v;
    return true;
}

bool LoadDate(const CDataRecord& record, FieldTag tag, std::optional<DateTimeValue>& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr || f->Class() != FieldClass::Time)
        return false;
    const DateTimeValue* v = ValueAs<DateTimeValue>(f->GetValue());
    out = v != nullptr ? std::optional<DateTimeValue>(*v) : std::nullopt;
    return true;
}

void SelectRefused(CByteLineEdit* edit, const QString& bad) {
    const qsizetype at = bad.isEmpty() ? -1 : edit->text().indexOf(bad);
    if (at < 0)
        return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->setSelection(static_cast<int>(at), static_cast<int>(bad.size()));
}

void SelectRefused(CByteTextEdit* edit, const QString& bad) {
    const qsizetype at = bad.isEmpty() ? -1 : edit->toPlainText().indexOf(bad);
    if (at < 0)
        return;
    QTextCursor c = edit->textCursor();
    c.setPosition(static_cast<int>(at));
    c.setPosition(static_cast<int>(at + bad.size()), QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    edit->setFocus(Qt::OtherFocusReason);
}

bool TakeEdit(CByteLineEdit* edit, FieldTag tag, CFieldWrites& writes) {
    std::string bytes;
    QString bad;
    const TextCheck check = edit->TakeBytes(bytes, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, tag, bad);
        SelectRefused(edit, bad);
        return false;
    }
    writes.SetText(tag, std::move(bytes));
    return true;
}

bool TakeEdit(CByteTextEdit* edit, FieldTag tag, CFieldWrites& writes) {
    std::string bytes;
    QString bad;
    const TextCheck check = edit->TakeBytes(bytes, false, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, tag, bad);
        SelectRefused(edit, bad);
        return false;
    }
    writes.SetText(tag, std::move(bytes));
    return true;
}

} // namespace tessera
