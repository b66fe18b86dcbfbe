#include "app/editors/report/ReportPrintDlg.h"

#include "base/Cp932.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tessera {

namespace {

constexpr std::uint8_t kPositionMask = 0x03;
constexpr std::uint8_t kUnderlineBit = 0x04;
constexpr int kSizeShift = 3;
constexpr std::uint8_t kSizeMask = 0x03;
constexpr std::uint8_t kNoNameBit = 0x20;
constexpr std::uint8_t kNoItemBit = 0x40;

// A text of the string table (or of a resource pack).
QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

void SelectOrFirst(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
}

} // namespace

std::uint8_t PackPrintFormat(const ReportPrintSettings& s) {
    std::uint8_t b = static_cast<std::uint8_t>(s.position) & kPositionMask;
    if (s.underline)
        b |= kUnderlineBit;
    b |= static_cast<std::uint8_t>((static_cast<unsigned>(s.charSize) & kSizeMask) << kSizeShift);
    if (!s.printName)
        b |= kNoNameBit;
    if (!s.printItem)
        b |= kNoItemBit;
    return b;
}

ReportPrintSettings UnpackPrintFormat(std::uint8_t b) {
    ReportPrintSettings s;
    s.position = b & kPositionMask;
    s.underline = (b & kUnderlineBit) != 0;
    s.charSize = (b >> kSizeShift) & kSizeMask;
    s.printName = (b & kNoNameBit) == 0;
    s.printItem = (b & kNoItemBit) == 0;
    return s;
}

ReportPrintSettings DefaultItemPrintSettings() {
    ReportPrintSettings s;
    s.printItem = true;
    s.printName = true;
    return s;
}

CReportPrintDlg::CReportPrintDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Text(110183));
    setObjectName(QStringLiteral("CReportPrintDlg"));

    m_printItem = new QCheckBox(Text(101090), this);
    m_printItem->setObjectName(QStringLiteral("printItem"));
    m_printName = new QCheckBox(Text(101091), this);
    m_printName->setObjectName(QStringLiteral("printName"));
    m_underline = new QCheckBox(Text(101093), this);
    m_underline->setObjectName(QStringLiteral("underline"));

    m_charSize = new QComboBox(this);
    m_charSize->setObjectName(QStringLiteral("charSize"));
    m_charSize->addItems({Text(9064), Text(9065), Text(9066), Text(9067)});
    m_position = new QComboBox(this);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->addItems({Text(9068), Text(9069), Text(9070)});

    m_charSizeLabel = new QLabel(Text(101092), this);
    m_charSizeLabel->setBuddy(m_charSize);
    m_positionLabel = new QLabel(Text(101094), this);
    m_positionLabel->setBuddy(m_position);

    // The four attributes belong to the whole-item box: indented under it.
    auto* details = new QFormLayout;
    details->setContentsMargins(20, 0, 0, 0);
    details->addRow(m_printName);
    details->addRow(m_charSizeLabel, m_charSize);
    details->addRow(m_positionLabel, m_position);
    details->addRow(m_underline);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(9026));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(9027));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_printItem);
    layout->addLayout(details);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_printItem, m_printName);
    setTabOrder(m_printName, m_charSize);
    setTabOrder(m_charSize, m_position);
    setTabOrder(m_position, m_underline);

    connect(m_printItem, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
    SetSettings(ReportPrintSettings{});
}

void CReportPrintDlg::SetSettings(const ReportPrintSettings& s) {
    m_printItem->setChecked(s.printItem);
    m_printName->setChecked(s.printName);
    m_underline->setChecked(s.underline);
    SelectOrFirst(m_charSize, s.charSize);
    SelectOrFirst(m_position, s.position);
    UpdateEnabled();
}

ReportPrintSettings CReportPrintDlg::Settings() const {
    ReportPrintSettings s;
    s.printItem = m_printItem->isChecked();
    s.printName = m_printName->isChecked();
    s.underline = m_underline->isChecked();
    s.charSize = std::max(0, m_charSize->currentIndex());
    s.position = std::max(0, m_position->currentIndex());
    return s;
}

void CReportPrintDlg::UpdateEnabled() {
    // The other attributes keep their values while the item is not printed: they are still
    // stored in the item's byte and come back when printing is switched on again.
    const bool on = m_printItem->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(m_printName), static_cast<QWidget*>(m_underline),
          static_cast<QWidget*>(m_charSize), static_cast<QWidget*>(m_position),
          static_cast<QWidget*>(m_charSizeLabel), static_cast<QWidget*>(m_positionLabel)})
        w->setEnabled(on);
}

bool CReportPrintDlg::Edit(QWidget* parent, ReportPrintSettings& settings) {
    CReportPrintDlg dlg(parent);
    dlg.SetSettings(settings);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    settings = dlg.Settings();
    return true;
}

} // namespace tessera
