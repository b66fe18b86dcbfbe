#pragma once
// "印刷設定": the five print attributes of one report item. The report editor hands the
// item's attributes in, runs the dialog and, on OK, takes them back and packs them into the
// item's print-format byte.

#include <QDialog>
#include <cstdint>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QLabel;
QT_END_NAMESPACE

namespace tessera {

struct ReportPrintSettings {
    bool printItem = false; // print the item at all
    bool printName = false; // print the item's name before its content
    bool underline = false;
    int charSize = 0; // 0 normal, 1 double height, 2 double width, 3 quadruple
    int position = 0; // 0 left, 1 centred, 2 right

    bool operator==(const ReportPrintSettings&) const = default;
};

// Print-format byte of one item: bits 0..1 position, bit 2 underline, bits 3..4 character
// size, bit 5 set = name not printed, bit 6 set = item not printed. Bit 7 marks bytes the
// item lookup skips, so a packed byte never has it set; every value is masked into its own
// bits, so an out-of-range value cannot spill into its neighbours.
std::uint8_t PackPrintFormat(const ReportPrintSettings& settings);
ReportPrintSettings UnpackPrintFormat(std::uint8_t byte);

// The settings a newly added item starts with: whole item and name printed, normal size,
// left, no underline.
ReportPrintSettings DefaultItemPrintSettings();

class CReportPrintDlg : public QDialog {
    Q_OBJECT
public:
    explicit CReportPrintDlg(QWidget* parent = nullptr);

    // Shows `settings`; a size or position outside the lists shows the lists' first entry,
    // so the dialog never hands back "nothing chosen".
    void SetSettings(const ReportPrintSettings& settings);
    // The values shown now (what OK hands back).
    ReportPrintSettings Settings() const;

    // Runs the dialog on `settings`; true and `settings` updated on OK, untouched on Cancel.
    static bool Edit(QWidget* parent, ReportPrintSettings& settings);

private:
    void UpdateEnabled();

    QCheckBox* m_printItem = nullptr; // 1090
    QCheckBox* m_printName = nullptr; // 1091
    QCheckBox* m_underline = nullptr; // 1093
    QComboBox* m_charSize = nullptr;  // 1092
    QComboBox* m_position = nullptr;  // 1094
    QLabel* m_charSizeLabel = nullptr;
    QLabel* m_positionLabel = nullptr;
};

} // namespace tessera
