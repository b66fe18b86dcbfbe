#include "app/settings/SettingsSheet.h"

#include "app/dial/ToneDial.h"
#include "app/settings/SheetParts.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/Prompter.h"
#include "text/StringTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSerialPortInfo>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tessera {

using namespace sheet;

CSettingsSheet::CSettingsSheet(CAppSettings& settings, QWidget* parent,
                               ToneAvailability toneAvailable)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("CSettingsSheet"));
    setWindowTitle(Text(kStrCaption, "環境設定"));
    m_toneAvailable = toneAvailable ? toneAvailable() : CToneDialModule::Instance().Available();

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(BuildPortPage(), Text(110135, "通信ポート"));
    m_tabs->addTab(BuildEditPage(), Text(110147, "編集"));
    m_tabs->addTab(BuildFilePage(), Text(110102, "ファイル"));
    m_tabs->addTab(BuildMachinePage(), Text(110152, "機種"));
    m_tabs->addTab(BuildDialPage(), Text(110165, "ダイアル"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &CSettingsSheet::OnTabChanged);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(9026, "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(9027, "キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    QList<PortChoice> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        QString description = info.description();
        if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
            description = description.isEmpty() ? info.manufacturer()
                                                : description + QStringLiteral(" (") +
                                                      info.manufacturer() + QLatin1Char(')');
        ports.append({info.portName(), description});
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortChoice& a, const PortChoice& b) { return a.name < b.name; });
    SetPortChoices(ports);
    Fill();
}

bool CSettingsSheet::Run(CAppSettings& settings, QWidget* parent) {
    CSettingsSheet sheet(settings, parent);
    return sheet.exec() == QDialog::Accepted;
}

// The pages are built in PortPage.cpp, EditPage.cpp, FilePage.cpp, MachinePage.cpp and
// DialPage.cpp.

// ---------------------------------------------------------------- filling and enable rules

void CSettingsSheet::SetPortChoices(const QList<PortChoice>& ports) {
    const QString keep = m_port->currentText().isEmpty() ? m_settings.Port() : ChosenPort();
    m_portChoices = ports;
    const QSignalBlocker block(m_port);
    m_port->clear();
    for (const PortChoice& p : ports) {
        const QString shown =
            p.description.isEmpty() ? p.name : p.name + QStringLiteral("  —  ") + p.description;
        m_port->addItem(shown);
        m_port->setItemData(m_port->count() - 1, p.description, Qt::ToolTipRole);
    }
    m_port->setCurrentIndex(-1);
    m_port->setEditText(keep);
    QString description;
    for (const PortChoice& p : m_portChoices)
        if (p.name == keep)
            description = p.description;
    m_portDescription->setText(description);
}

QString CSettingsSheet::ChosenPort() const {
    const QString text = m_port->currentText().trimmed();
    for (int i = 0; i < m_portChoices.size(); ++i)
        if (m_port->itemText(i) == text)
            return m_portChoices[i].name;
    return text;
}

void CSettingsSheet::Fill() {
    // Port page
    (m_settings.Method == 0 ? m_methodAsk : m_methodCable)->setChecked(true);
    m_port->setEditText(m_settings.Port());
    m_speed->setCurrentIndex(SpeedIndexOfBps(m_settings.Bps));
    m_buffer->setValue(std::clamp(m_settings.SendBufferSize, kMinBuffer, kMaxBuffer));
    UpdateBufferLabel(m_buffer->value());
    m_ignoreEcho->setChecked(m_settings.IgnoreEcho);
    UpdatePortEnabled();

    // Edit page
    m_convAlpha->setChecked(m_settings.ConvAlphaNumeric());
    m_convSymbol->setChecked(m_settings.ConvSymbol());
    m_convHiraKana->setChecked(m_settings.ConvHiraKana());
    m_imageSize->setChecked(m_settings.ImageSize);
    m_limitWidth->setChecked(m_settings.LimitFieldWidth);
    m_maxWidth->setText(QString::number(m_settings.MaxFieldWidth));
    m_autoComp->setChecked(m_settings.ScheduleAutoComp);
    UpdateWidthEnabled();

    // File page
    m_history->setValue(std::clamp(m_settings.HistoryBuffer, kMinHistory, kMaxHistory));
    UpdateHistoryLabel(m_history->value());
    m_newOnStart->setChecked(m_settings.NewOnStart);

    // Machine page
    m_modelChoice = std::clamp(m_settings.ModelCode(), 0, kModelChoices - 1);
    m_models->setCurrentRow(m_modelChoice);

    // Dial page
    (m_settings.DialMethod == 1 ? m_dialTones : m_dialHandler)->setChecked(true);
    m_callOut->setText(m_settings.CallOut);
}

void CSettingsSheet::UpdatePortEnabled() {
    // Infrared runs at its own fixed speed and may see its own echo; the cable has a speed
    // and no echo.
    const bool ask = m_methodAsk->isChecked();
    m_speed->setEnabled(!ask);
    m_speedLabel->setEnabled(!ask);
    m_ignoreEcho->setEnabled(ask);
}

void CSettingsSheet::UpdateWidthEnabled() {
    const bool on = m_limitWidth->isChecked();
    m_maxWidth->setEnabled(on);
    m_maxWidthLabel->setEnabled(on);
}

void CSettingsSheet::UpdateBufferLabel(int value) {
    m_bufferLabel->setText(BufferSizeText(value));
}

void CSettingsSheet::UpdateHistoryLabel(int value) {
    m_historyLabel->setText(QString::number(value) + Text(kStrCountUnit, "個"));
}

QString CSettingsSheet::SpeedText(int index) {
    if (index < 0 || index >= 10)
        return QString();
    return QString::number(CAppSettings::kBpsChoices[index]);
}

int CSettingsSheet::SpeedIndexOfBps(int bps) {
    for (int i = 0; i < 10; ++i)
        if (CAppSettings::kBpsChoices[i] == bps)
            return i;
    return kSpeedIndex9600;
}

QString CSettingsSheet::BufferSizeText(int power) {
    const int kb = 1 << std::clamp(power, 0, 20);
    return Cp932ToQString(
        FormatText(QStringToCp932Lossy(Text(9044, "%dKB")), {static_cast<long long>(kb)}));
}

// ---------------------------------------------------------------- checking and applying

bool CSettingsSheet::ReadWidth(int& width) const {
    bool ok = false;
    const int value = m_maxWidth->text().trimmed().toInt(&ok, 10);
    if (!ok || value < kMinWidth || value > kMaxWidth)
        return false;
    width = value;
    return true;
}

void CSettingsSheet::ShowWidthRangeMessage() {
    ShowMessage(kMsgIntRange, PromptIcon::Warning, PromptButtons::Ok, kMinWidth, kMaxWidth);
}

bool CSettingsSheet::Validate() {
    // The width is checked even while its edit is disabled: it is stored either way.
    int width = 0;
    if (ReadWidth(width))
        return true;
    m_revertingTab = true;
    m_tabs->setCurrentIndex(EditPage);
    m_lastTab = EditPage;
    m_revertingTab = false;
    ShowWidthRangeMessage();
    m_maxWidth->setFocus();
    m_maxWidth->selectAll();
    return false;
}

void CSettingsSheet::OnTabChanged(int index) {
    if (m_revertingTab)
        return;
    // Leaving the edit page takes its data, as OK does: a bad width keeps that page up.
    if (m_lastTab == EditPage && index != EditPage) {
        int width = 0;
        if (!ReadWidth(width)) {
            Validate();
            return;
        }
    }
    m_lastTab = index;
}

void CSettingsSheet::Apply() {
    CAppSettings& s = m_settings;
    s.Method = m_methodAsk->isChecked() ? 0 : 1;
    s.Bps = CAppSettings::kBpsChoices[std::clamp(m_speed->currentIndex(), 0, 9)];

    // Only a changed port is opened for the check: an unchanged one may be in use by a
    // running transfer or unplugged just now, and keeping it needs no check.
    const QString port = ChosenPort();
    if (port != s.Port() && !s.SetPort(port))
        ShowMessage(kMsgSetAgain, PromptIcon::Warning, PromptButtons::Ok);

    s.SetModel(static_cast<unsigned>(m_modelChoice)); // "not a PI model" leaves the model
    s.ImageSize = m_imageSize->isChecked();

    const int buffer = m_buffer->value();
    s.SendBufferSize = buffer >= kMinBuffer && buffer <= kMaxBuffer ? buffer : kDefaultBuffer;

    s.IgnoreEcho = m_ignoreEcho->isChecked();
    s.LimitFieldWidth = m_limitWidth->isChecked();
    int width = s.MaxFieldWidth;
    if (ReadWidth(width))
        s.MaxFieldWidth = width;
    s.SetConvAlphaNumeric(m_convAlpha->isChecked());
    s.SetConvSymbol(m_convSymbol->isChecked());
    s.SetConvHiraKana(m_convHiraKana->isChecked());
    s.ScheduleAutoComp = m_autoComp->isChecked();

    const int history = m_history->value();
    s.HistoryBuffer = history >= kMinHistory && history <= kMaxHistory ? history : kDefaultHistory;

    s.NewOnStart = m_newOnStart->isChecked();
    s.DialMethod = m_dialTones->isChecked() ? 1 : 0;
    s.CallOut = m_callOut->text().left(kMaxCallOut);
}

bool CSettingsSheet::TakePort() {
    const QString port = ChosenPort();
    if (port == m_settings.Port() || m_settings.SetPort(port))
        return true;
    // SetPort has said why (with the system's reason); the user picks again on this page.
    ShowMessage(kMsgSetAgain, PromptIcon::Warning, PromptButtons::Ok);
    m_revertingTab = true;
    m_tabs->setCurrentIndex(PortPage);
    m_lastTab = PortPage;
    m_revertingTab = false;
    m_port->setFocus();
    m_port->lineEdit()->selectAll();
    return false;
}

void CSettingsSheet::accept() {
    if (!Validate())
        return;
    // A port that does not open keeps the sheet up on its page, nothing applied yet; once
    // taken, Apply finds it unchanged.
    if (!TakePort())
        return;
    Apply();
    QDialog::accept();
}

} // namespace tessera
