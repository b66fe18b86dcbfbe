#pragma once
// Staged writes: the composed values go into a record only once every field has accepted its
// value.

#include "app/editors/common/NumberEdits.h"

namespace tessera {

// ---- staged writes ----

// The values an editor composes, put into the record only when every field accepts its
// value, so that a refused value never leaves a record half written. An emptied value
// clears its field directly (fields refuse "no value" through SetValue), and every other
// value replaces the field's whole value.
class CFieldWrites {
public:
    void Set(FieldTag tag, FieldValue value);
    void Clear(FieldTag tag);
    void SetText(FieldTag tag, std::string text); // empty clears
    void SetDate(FieldTag tag, const std::optional<DateTimeValue>& value);

    // Tries every value on a scratch field of its tag and checks the record has the field;
    // shows 1073 naming the first field that refuses. False then, and nothing is written.
    bool Check(const CDataRecord& record) const;
    // Check, then write everything.
    bool Apply(CDataRecord& record) const;

    bool Has(FieldTag tag) const;

private:
    struct Write {
        FieldTag tag;
        std::optional<FieldValue> value; // none: clear
    };
    std::vector<Write> m_writes;
};

// Loading helpers: the field of `tag`, null when the record lacks it.
const CField* FieldOf(const CDataRecord& record, FieldTag tag);
// The text of a text or sub-text field; false when the record lacks it.
bool LoadText(const CDataRecord& record, FieldTag tag, std::string& out);
// The integer of a flag, check or ascii field; false when the record lacks it.
bool LoadInt(const CDataRecord& record, FieldTag tag, int32_t& out);
// A time field's value (none when unset); false when the record lacks it.
bool LoadDate(const CDataRecord& record, FieldTag tag, std::optional<DateTimeValue>& out);

// Takes an edit's text into `writes`, or shows why it cannot be stored. `fieldTag` names the
// field in the message.
bool TakeEdit(CByteLineEdit* edit, FieldTag tag, CFieldWrites& writes);
bool TakeEdit(CByteTextEdit* edit, FieldTag tag, CFieldWrites& writes);
// Shows the message of a refused text.
void ShowTextRefused(TextCheck check, FieldTag tag, const QString& bad);
// "U+301C"-style codes of the characters of `chars`.
QString CodePointText(const QString& chars);
// Puts the focus on `edit` with the refused text `bad` selected, so the user sees it.
void SelectRefused(CByteLineEdit* edit, const QString& bad);
void SelectRefused(CByteTextEdit* edit, const QString& bad);

} // namespace tessera
