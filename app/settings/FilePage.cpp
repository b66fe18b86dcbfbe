// The settings sheet's page of files: the send buffer, the recent-file list, a new document on
// start.
#include "app/dial/ToneDial.h"
#include "app/settings/SettingsSheet.h"
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

QWidget* CSettingsSheet::BuildFilePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("filePage"));

    m_history = new QSlider(Qt::Horizontal, page);
    m_history->setObjectName(QStringLiteral("history"));
    m_history->setRange(kMinHistory, kMaxHistory);
    m_history->setTickInterval(1);
    m_history->setTickPosition(QSlider::TicksBelow);
    m_history->setPageStep(1);
    m_historyLabel = new QLabel(page);
    m_historyLabel->setObjectName(QStringLiteral("historyLabel"));
    m_historyLabel->setMinimumWidth(m_historyLabel->fontMetrics().horizontalAdvance(
        QStringLiteral("16") + Text(kStrCountUnit, "個") + QStringLiteral("  ")));
    connect(m_history, &QSlider::valueChanged, this, &CSettingsSheet::UpdateHistoryLabel);
    connect(m_history, &QSlider::sliderMoved, this, &CSettingsSheet::UpdateHistoryLabel);
    auto* historyTitle = new QLabel(Text(ids::kStrHistoryLabel), page);
    historyTitle->setBuddy(m_history);
    auto* historyRow = new QHBoxLayout;
    historyRow->addWidget(m_history, 1);
    historyRow->addWidget(m_historyLabel);

    m_newOnStart = new QCheckBox(Text(101213, "起動時に新規ファイルを開く(&N)"), page);
    m_newOnStart->setObjectName(QStringLiteral("newOnStart"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(historyTitle);
    layout->addLayout(historyRow);
    layout->addSpacing(6);
    layout->addWidget(m_newOnStart);
    layout->addSpacing(12);
    layout->addWidget(Note(Text(9040, "Tips:\n次回起動時から有効です．"), page));
    layout->addStretch();
    return page;
}

} // namespace tessera
