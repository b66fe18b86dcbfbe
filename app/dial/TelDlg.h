#pragma once
// "電話帳" and "名刺管理": the editors of phone-book and business-card records. Both share one
// form (a card adds the company fields and the association memo) and a dial button.

#include "app/editors/EditorCommon.h"

#include <array>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
QT_END_NAMESPACE

namespace tessera {

class CDialer;

class CContactDlg : public CRecordEditor {
    Q_OBJECT
public:
    bool LoadFromRecord(const CDataRecord& record) override;

    // The dialer behind the dial button (tests replace its telephony hooks).
    CDialer& Dialer() { return *m_dialer; }
    bool IsCard() const { return m_card; }

protected:
    CContactDlg(bool card, int dialogId, const CAppSettings& settings, QWidget* parent);

    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;
    bool CanClose() override;

private:
    void BuildForm();
    void UpdateBirthdayTexts();
    void OnDial();
    void ShowCallState(bool inCall);

    bool m_card;
    QCheckBox* m_secret = nullptr;
    CByteLineEdit* m_name = nullptr;
    CByteLineEdit* m_reading = nullptr;
    CByteLineEdit* m_tel = nullptr;
    CByteLineEdit* m_fax = nullptr;
    CByteLineEdit* m_office = nullptr;
    CByteLineEdit* m_officeReading = nullptr;
    CByteLineEdit* m_section = nullptr;
    CByteLineEdit* m_post = nullptr;
    CByteLineEdit* m_zip = nullptr;
    CByteTextEdit* m_address = nullptr;
    CByteTextEdit* m_remark = nullptr;
    CByteTextEdit* m_association = nullptr;
    DateEdits m_birth;
    QLabel* m_age = nullptr;
    QLabel* m_ageUnit = nullptr;
    QLabel* m_birthDay = nullptr;
    std::array<QComboBox*, 4> m_checks{};
    QPushButton* m_dial = nullptr;
    QLabel* m_dialState = nullptr;
    CDialer* m_dialer = nullptr;
};

// Phone book (dialog 132).
class CTelDlg final : public CContactDlg {
    Q_OBJECT
public:
    explicit CTelDlg(const CAppSettings& settings, QWidget* parent = nullptr);
};

} // namespace tessera
