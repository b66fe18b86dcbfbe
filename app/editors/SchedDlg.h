#pragma once
// "スケジュール": the schedule editor. Start, end and alarm time share one set of date and
// time edits under three tabs; each tab keeps its own value.

#include "app/editors/EditorCommon.h"

#include <optional>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QPushButton;
class QTabBar;
QT_END_NAMESPACE

namespace tessera {

class CSchedDlg final : public CRecordEditor {
    Q_OBJECT
public:
    enum Tab : int { kStart = 0, kEnd = 1, kAlarm = 2 };

    explicit CSchedDlg(const CAppSettings& settings, QWidget* parent = nullptr);

    bool LoadFromRecord(const CDataRecord& record) override;

    // The tab whose value the edits stand for now.
    int CurrentTab() const { return m_current; }
    // The value of a tab as last taken from the edits.
    const std::optional<DateTimeValue>& TabValue(int tab) const { return m_values[tab]; }

protected:
    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;

private:
    void OnTabChanged(int index);
    void ShowValue(const std::optional<DateTimeValue>& value);
    void TakeEdits();
    void OnEditChanged();
    void FillIfEmpty(CSpinEdit* edit, int value);

    QCheckBox* m_secret = nullptr;
    QCheckBox* m_alarmOn = nullptr;
    QTabBar* m_tabs = nullptr;
    DateEdits m_date;
    CSpinEdit* m_hour = nullptr;
    CSpinEdit* m_minute = nullptr;
    QPushButton* m_reset = nullptr;
    CByteTextEdit* m_memo = nullptr;

    std::optional<DateTimeValue> m_values[3];
    // A tab the user never changed keeps its stored value exactly.
    bool m_touched[3] = {false, false, false};
    int m_current = kStart;
    bool m_showing = true; // edits are being filled by the dialog, not the user
};

} // namespace tessera
