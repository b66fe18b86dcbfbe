#pragma once
// "記念日(月/週/曜)": anniversaries kept by month, week of the month and day of week.

#include "app/editors/EditorCommon.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
QT_END_NAMESPACE

namespace tessera {

class CDay2Dlg final : public CRecordEditor {
    Q_OBJECT
public:
    explicit CDay2Dlg(const CAppSettings& settings, QWidget* parent = nullptr);
    bool LoadFromRecord(const CDataRecord& record) override;

protected:
    void InitNewRecord() override;
    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;

private:
    QCheckBox* m_secret = nullptr;
    CSpinEdit* m_month = nullptr;
    CSpinEdit* m_week = nullptr;
    QComboBox* m_dayOfWeek = nullptr;
    CByteTextEdit* m_memo = nullptr;
};

} // namespace tessera
