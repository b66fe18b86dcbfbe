#pragma once
// "レポート/自由帳": a report/free-notebook record is either one free text or a list of up
// to 25 named items, each with a print-format byte.

#include "app/editors/EditorCommon.h"
#include "app/editors/report/ReportPrintDlg.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
QT_END_NAMESPACE

namespace tessera {

// One item of a report: its name and its content (line breaks CR LF).
struct ReportItem {
    std::string name;
    std::string content;
    bool operator==(const ReportItem&) const = default;
};

inline constexpr int kReportMaxItems = 25;
inline constexpr std::size_t kReportMaxText = 2533;   // bytes of a composed report text
inline constexpr std::size_t kFreeMaxText = 997;      // bytes of a free text
inline constexpr uint16_t kDefaultClassCode = 0x8140; // the full-width space

// True when a record's text is in report format: it holds a TAB.
bool IsReportText(std::string_view text);
// The items of a report text, in order.
std::vector<ReportItem> ParseReportText(std::string_view text);

enum class ReportCompose { Ok, TooLong, TooManyItems };
// Name TAB content per item, items separated by 0x1F, line breaks in contents as 0x1F.
ReportCompose ComposeReportText(const std::vector<ReportItem>& items, std::string& out);
// Bytes ComposeReportText would write for `items`, whatever the limits.
std::size_t ReportTextSize(const std::vector<ReportItem>& items);

// Print-format bytes by item: the lookup skips bytes whose bit 7 is set.
// Index of item `n`'s byte, -1 when the array has none for it.
int PrintFormatIndex(const std::vector<uint8_t>& bytes, int n);
// Writes item `n`'s byte where the lookup finds it, growing the array with zero bytes.
void SetItemPrintFormat(std::vector<uint8_t>& bytes, int n, uint8_t value);
// Removes item `n`'s byte, so the items after it keep their own.
void RemoveItemPrintFormat(std::vector<uint8_t>& bytes, int n);

class CReportDlg final : public CRecordEditor {
    Q_OBJECT
public:
    explicit CReportDlg(const CAppSettings& settings, QWidget* parent = nullptr);

    bool LoadFromRecord(const CDataRecord& record) override;

    bool IsReportFormat() const;
    const std::vector<ReportItem>& Items() const { return m_items; }
    const std::vector<uint8_t>& PrintFormats() const { return m_printFormats; }
    int SelectedRow() const { return m_selected; }
    const ReportPrintSettings& CurrentPrintSettings() const { return m_print; }
    // What the print-settings button does after its dialog's OK.
    void TakePrintSettings(const ReportPrintSettings& settings);

    void SelectRow(int row);
    void AddItem();
    void UpdateItem();
    void DeleteItem();
    // Enter in the item fields: updates the selected item, else adds the typed one.
    void AddOrUpdateItem();
    // True when the item fields hold text not yet in the list.
    bool HasPendingItem() const;
    // Bytes the report text may still take, the typed item counted in.
    int ReportRoomLeft() const;

protected:
    bool Validate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool Compose(CFieldWrites& writes) override;

private:
    void ApplyEnableRules();
    void FillList();
    void SetRowTexts(QTreeWidgetItem* row, const ReportItem& item);
    bool TakeItemEdits(ReportItem& item);
    void ResetItemEdits();
    bool ComposeText(std::string& text);
    bool SettlePendingItem();
    void UpdateReportRoom();

    QRadioButton* m_free = nullptr;
    QRadioButton* m_report = nullptr;
    QGroupBox* m_formatBox = nullptr;
    QCheckBox* m_secret = nullptr;
    CByteLineEdit* m_fileName = nullptr;
    QTreeWidget* m_list = nullptr;
    CByteLineEdit* m_itemName = nullptr;
    CByteTextEdit* m_content = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_update = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    QLabel* m_pending = nullptr;
    QLabel* m_reportRoom = nullptr;

    std::vector<ReportItem> m_items;
    std::vector<uint8_t> m_printFormats;
    uint16_t m_classCode = kDefaultClassCode;
    ReportPrintSettings m_print;
    int m_selected = -1;
    bool m_itemsChanged = false;
    bool m_loadedReport = false;
    std::string m_loadedText;
    std::vector<uint8_t> m_loadedPrintFormats;
    bool m_filling = false;
};

} // namespace tessera
