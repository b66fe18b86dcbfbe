// The settings sheet's page of dialing: the telephone application or tones, the call-out number.
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

QWidget* CSettingsSheet::BuildDialPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("dialPage"));

    auto* methodBox = new QGroupBox(Text(ids::kStrDialGroup), page);
    m_dialHandler = new QRadioButton(Text(ids::kStrDialHandler), methodBox);
    m_dialHandler->setObjectName(QStringLiteral("dialHandler"));
    m_handlerNote = Note(Text(ids::kStrDialHandlerNote), methodBox);
    m_dialTones = new QRadioButton(Text(ids::kStrDialTones), methodBox);
    m_dialTones->setObjectName(QStringLiteral("dialTones"));
    m_toneNote = Note(QString(), methodBox);
    m_toneNote->setObjectName(QStringLiteral("toneNote"));
    auto* group = new QButtonGroup(page);
    group->addButton(m_dialHandler, 0);
    group->addButton(m_dialTones, 1);

    auto* methodLayout = new QGridLayout(methodBox);
    methodLayout->setColumnMinimumWidth(0, 20);
    methodLayout->addWidget(m_dialHandler, 0, 0, 1, 2);
    methodLayout->addWidget(m_handlerNote, 1, 1);
    methodLayout->addWidget(m_dialTones, 2, 0, 1, 2);
    methodLayout->addWidget(m_toneNote, 3, 1);

    m_callOut = new QLineEdit(page);
    m_callOut->setObjectName(QStringLiteral("callOut"));
    m_callOut->setMaxLength(kMaxCallOut);
    // Only what the tones can say: keys, the pause marks and separators.
    m_callOut->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9*#A-Da-d@$%,\\- ]*")), m_callOut));
    m_callOutLabel = new QLabel(Text(ids::kStrCallOutLabel), page);
    m_callOutLabel->setObjectName(QStringLiteral("callOutLabel"));
    m_callOutLabel->setBuddy(m_callOut);

    auto* callOutRow = new QHBoxLayout;
    callOutRow->addWidget(m_callOutLabel);
    callOutRow->addWidget(m_callOut, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(methodBox);
    layout->addLayout(callOutRow);
    layout->addWidget(Note(Text(9041, "@で1秒、$で5秒、%で10秒間待ちます"), page));
    layout->addWidget(Note(Text(ids::kStrCommaNote), page));
    layout->addStretch();

    // Without a sound output tone dialing cannot work in this run; the stored choice stays
    // as it is, so it works again once an output is there.
    m_toneNote->setText(Text(m_toneAvailable ? ids::kStrToneNote : ids::kStrToneMissing));
    m_dialTones->setEnabled(m_toneAvailable);
    m_toneNote->setEnabled(m_toneAvailable);
    m_callOutLabel->setEnabled(m_toneAvailable);
    return page;
}

} // namespace tessera
