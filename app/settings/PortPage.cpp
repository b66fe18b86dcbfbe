// The settings sheet's page of the link: infrared or cable, the port, the speed, echo.
#include "app/dial/ToneDial.h"
#include "app/settings/SettingsSheet.h"
#include "app/settings/SheetParts.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
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

QWidget* CSettingsSheet::BuildPortPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("portPage"));

    auto* methodBox = new QGroupBox(Text(ids::kStrMethodGroup), page);
    m_methodAsk = new QRadioButton(Text(101033, "&ASK光通信"), methodBox);
    m_methodAsk->setObjectName(QStringLiteral("methodAsk"));
    m_methodCable = new QRadioButton(Text(101034, "オプションポート&15"), methodBox);
    m_methodCable->setObjectName(QStringLiteral("methodCable"));
    auto* methodLayout = new QHBoxLayout(methodBox);
    methodLayout->addWidget(m_methodAsk);
    methodLayout->addWidget(m_methodCable);
    methodLayout->addStretch();
    auto* methodGroup = new QButtonGroup(page);
    methodGroup->addButton(m_methodAsk, 0);
    methodGroup->addButton(m_methodCable, 1);
    connect(methodGroup, &QButtonGroup::idClicked, this, [this] { UpdatePortEnabled(); });

    m_port = new QComboBox(page);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->setCompleter(nullptr);
    m_port->setMinimumContentsLength(16);
    m_port->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    m_port->setToolTip(Text(ids::kStrPortTip));
    connect(m_port, &QComboBox::currentIndexChanged, this, [this](int index) {
        // The list shows each port with its description; the edit keeps only the name.
        if (index >= 0 && index < m_portChoices.size()) {
            m_port->setEditText(m_portChoices[index].name);
            m_portDescription->setText(m_portChoices[index].description);
        }
    });
    connect(m_port, &QComboBox::editTextChanged, this, [this](const QString& text) {
        QString description;
        for (const PortChoice& p : m_portChoices)
            if (p.name == text.trimmed())
                description = p.description;
        m_portDescription->setText(description);
    });
    m_portDescription = new QLabel(page);
    m_portDescription->setObjectName(QStringLiteral("portDescription"));
    m_portDescription->setWordWrap(true);
    // No port configured: the edit shows the first serial port found; a note says so
    // while that port stays chosen.
    auto* defaultNote = new QLabel(page);
    defaultNote->setObjectName(QStringLiteral("portDefaultNote"));
    defaultNote->setWordWrap(true);
    if (m_settings.PortIsDefault()) {
        bool found = false;
        CAppSettings::DefaultPort(&found);
        defaultNote->setText(Cp932ToQString(FormatString(
            found ? ids::kMsgDefaultPort : ids::kMsgNoPortFound, m_settings.Port().toStdString())));
    }
    defaultNote->setVisible(m_settings.PortIsDefault());
    connect(m_port, &QComboBox::editTextChanged, defaultNote, [this, defaultNote] {
        defaultNote->setVisible(m_settings.PortIsDefault() && ChosenPort() == m_settings.Port());
    });
    auto* portLabel = new QLabel(Text(ids::kStrPortLabel), page);
    portLabel->setBuddy(m_port);

    m_speed = new QComboBox(page);
    m_speed->setObjectName(QStringLiteral("speed"));
    for (int i = 0; i < 10; ++i)
        m_speed->addItem(SpeedText(i));
    m_speedLabel = new QLabel(Text(ids::kStrSpeedLabel), page);
    m_speedLabel->setBuddy(m_speed);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(m_speed);
    speedRow->addWidget(new QLabel(QStringLiteral("bps"), page));
    speedRow->addStretch();

    m_buffer = new QSlider(Qt::Horizontal, page);
    m_buffer->setObjectName(QStringLiteral("buffer"));
    m_buffer->setRange(kMinBuffer, kMaxBuffer);
    m_buffer->setTickInterval(1);
    m_buffer->setTickPosition(QSlider::TicksBelow);
    m_buffer->setPageStep(1);
    m_bufferLabel = new QLabel(page);
    m_bufferLabel->setObjectName(QStringLiteral("bufferLabel"));
    m_bufferLabel->setMinimumWidth(
        m_bufferLabel->fontMetrics().horizontalAdvance(QStringLiteral("1024KB ")));
    connect(m_buffer, &QSlider::valueChanged, this, &CSettingsSheet::UpdateBufferLabel);
    connect(m_buffer, &QSlider::sliderMoved, this, &CSettingsSheet::UpdateBufferLabel);
    auto* bufferTitle = new QLabel(Text(ids::kStrBufferLabel), page);
    bufferTitle->setBuddy(m_buffer);
    auto* bufferRow = new QHBoxLayout;
    bufferRow->addWidget(m_buffer, 1);
    bufferRow->addWidget(m_bufferLabel);

    m_ignoreEcho = new QCheckBox(Text(101161, "エコーを無視する(&E)"), page);
    m_ignoreEcho->setObjectName(QStringLiteral("ignoreEcho"));

    auto* form = new QFormLayout;
    form->addRow(portLabel, m_port);
    form->addRow(QString(), m_portDescription);
    form->addRow(QString(), defaultNote);
    form->addRow(m_speedLabel, speedRow);
    form->addRow(bufferTitle, bufferRow);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(methodBox);
    layout->addLayout(form);
    layout->addWidget(m_ignoreEcho);
    layout->addStretch();
    return page;
}

} // namespace tessera
