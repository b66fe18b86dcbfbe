#pragma once
// "アクションリスト": the action-list editor, with entry, finish and due dates, a done mark,
// a priority and the time remaining until the due date.

#include "app/editors/EditorCommon.h"

#include <optional>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
QT_END_NAMESPACE

namespace tessera {

// Whole days, hours and minutes from `now` until local midnight at the start of the due
// day; none when that lies in the past or the due date is not one the editor counts to.
struct RemainingTime {
    qint64 days = 0;
    qint64 hours = 0;
    qint64 minutes = 0;
};
std::optional<RemainingTime> RemainingUntil(const QDateTime& now, unsigned year, unsigned month,
                                            unsigned day);

class CActionDlg final : public CRecordEditor {
    Q_OBJECT
public:
    explicit CActionDlg(const CAppSettings& settings, QWidget* parent = nullptr);
    ~CActionDlg() override;

    bool LoadFromRecord(const CDataRecord& record) override;
    // The due date exists for every model but PI-3000.
    bool HasDueDate() const { return m_hasDue; }
    // Refreshes the day-of-week texts and the remaining time (the one-second timer's work).
    void RefreshTexts();

protected:
    void InitNewRecord() override;
    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;

private:
    void OnDoneToggled(bool on);

    bool m_hasDue;
    QCheckBox* m_secret = nullptr;
    QCheckBox* m_done = nullptr;
    QComboBox* m_priority = nullptr;
    DateEdits m_entry;
    DateEdits m_finish;
    DateEdits m_due;
    QLabel* m_entryDay = nullptr;
    QLabel* m_finishDay = nullptr;
    QLabel* m_dueDay = nullptr;
    QLabel* m_dueLabel = nullptr;
    QLabel* m_remainDays = nullptr;
    QLabel* m_remainHours = nullptr;
    QLabel* m_remainMinutes = nullptr;
    QList<QLabel*> m_dueLabels;
    CByteTextEdit* m_memo = nullptr;
    QTimer* m_timer = nullptr;

    // Loaded values, so that fields the user left alone keep their stored values exactly.
    int32_t m_loadedDone = -1;
    int32_t m_loadedPriority = -1;
    QString m_loadedDates[3];
};

} // namespace tessera
