// The settings sheet's page of editing: conversions, memo size, field width, end times.
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

QWidget* CSettingsSheet::BuildEditPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("editPage"));
    auto make = [page](int id, const char* text, const char* name) {
        auto* box = new QCheckBox(Text(id, text), page);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    m_convAlpha = make(101097, "全角英数字を半角に変換する(&D)", "convAlphaNumeric");
    m_convSymbol = make(101098, "特殊記号を変換する(&S)", "convSymbol");
    m_convHiraKana = make(101099, "半角ひらがな、半角カタカナを変換する(&H)", "convHiraKana");
    m_imageSize = make(101158, "手書きメモの大きさを検査する(&I)", "imageSize");
    m_limitWidth = make(101162, "表示するフィールド幅を制限する(&W)", "limitFieldWidth");
    m_autoComp =
        make(101229, "スケジュール終了時刻を開始時刻で自動補完する(&C)", "scheduleAutoComp");

    m_maxWidth = new QLineEdit(page);
    m_maxWidth->setObjectName(QStringLiteral("maxFieldWidth"));
    m_maxWidth->setMaxLength(8);
    m_maxWidth->setAlignment(Qt::AlignRight);
    m_maxWidth->setFixedWidth(
        m_maxWidth->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    m_maxWidthLabel = new QLabel(Text(101164, "Bytes"), page);
    m_maxWidthLabel->setObjectName(QStringLiteral("maxFieldWidthLabel"));
    connect(m_limitWidth, &QCheckBox::toggled, this, [this] { UpdateWidthEnabled(); });

    auto* widthRow = new QHBoxLayout;
    widthRow->setContentsMargins(24, 0, 0, 0);
    widthRow->addWidget(m_maxWidth);
    widthRow->addWidget(m_maxWidthLabel);
    widthRow->addStretch();

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_convAlpha);
    layout->addWidget(m_convSymbol);
    layout->addWidget(m_convHiraKana);
    // The conversions work on every text read, files included, not only on received data.
    auto* convNote = Note(Text(ids::kStrConvNote), page);
    convNote->setObjectName(QStringLiteral("convNote"));
    convNote->setContentsMargins(24, 0, 0, 0);
    layout->addWidget(convNote);
    layout->addSpacing(6);
    layout->addWidget(m_imageSize);
    layout->addWidget(m_limitWidth);
    layout->addLayout(widthRow);
    layout->addWidget(m_autoComp);
    layout->addStretch();
    return page;
}

} // namespace tessera
