// The settings sheet's page of the device model.
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

QWidget* CSettingsSheet::BuildMachinePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("machinePage"));
    m_models = new QListWidget(page);
    m_models->setObjectName(QStringLiteral("models"));
    for (int i = 0; i < kModelChoices; ++i)
        m_models->addItem(Text(kStrFirstModel + i, kModelFallback[i]));
    m_models->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every choice is remembered at once; a cleared selection keeps the previous one.
    connect(m_models, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_modelChoice = row;
    });
    auto* title = new QLabel(Text(101144, "ザウルス型番(&Z) :"), page);
    title->setBuddy(m_models);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(title);
    layout->addWidget(m_models, 1);
    return page;
}

} // namespace tessera
