#pragma once
// "記念日(月日)": anniversaries kept by month and day.

#include "app/editors/EditorCommon.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
QT_END_NAMESPACE

namespace tessera {

class CDay1Dlg final : public CRecordEditor {
    Q_OBJECT
public:
    explicit CDay1Dlg(const CAppSettings& settings, QWidget* parent = nullptr);
    bool LoadFromRecord(const CDataRecord& record) override;

protected:
    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;

private:
    QCheckBox* m_secret = nullptr;
    CSpinEdit* m_month = nullptr;
    CSpinEdit* m_day = nullptr;
    CByteTextEdit* m_memo = nullptr;
};

} // namespace tessera
