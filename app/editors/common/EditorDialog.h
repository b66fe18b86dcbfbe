#pragma once
// The modal dialog base of every record editor, with its OK/Cancel/Help flow.

#include "app/editors/common/StagedWrites.h"

namespace tessera {

// ---- the dialog base ----

class CRecordEditor : public QDialog {
    Q_OBJECT
public:
    CRecordEditor(int dialogId, const CAppSettings& settings, QWidget* parent);
    ~CRecordEditor() override;

    int DialogId() const { return m_dialogId; }
    int ModelCode() const;

    // Fills the controls from a record; 1038 and false when a field cannot be read.
    virtual bool LoadFromRecord(const CDataRecord& record) = 0;
    // The defaults of a new record.
    void SetNewRecord();
    bool IsNewRecord() const { return m_isNew; }

    // Composes the values and writes them into `record`; false (after a message, nothing
    // written) when a value cannot be stored.
    bool StoreIntoRecord(CDataRecord& record);

    // The record OK stores into (null: OK only checks the input).
    void SetTarget(CDataRecord* record) { m_target = record; }

    // OK: the checks of the editor, then the store into the target; stays open on failure.
    void accept() override;
    void reject() override;

protected:
    const CAppSettings& Settings() const { return m_settings; }
    virtual void InitNewRecord() {}
    // The checks of OK, with their messages; false keeps the dialog open.
    virtual bool Validate() = 0;
    // The values to write.
    virtual bool Compose(CFieldWrites& writes) = 0;
    // False keeps the dialog open (a call still going).
    virtual bool CanClose() { return true; }

    // OK, Cancel and Help buttons wired to this dialog.
    QDialogButtonBox* MakeButtons();
    // The end of building a form: Tab walks `chain` in order (top to bottom, left to right)
    // and then OK, Cancel and Help; `first` (else the first of `chain`) takes the focus;
    // every field label gets its access key.
    void FinishForm(std::initializer_list<QWidget*> chain, QWidget* first = nullptr);
    // Reports a load failure.
    bool LoadFailed();

private:
    int m_dialogId;
    const CAppSettings& m_settings;
    CDataRecord* m_target = nullptr;
    bool m_isNew = false;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace tessera
