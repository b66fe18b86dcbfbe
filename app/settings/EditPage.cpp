// The settings sheet's page of editing: conversions, memo size, field width, end times.
#include "app/dial/ToneDial.h"
#include "app/settings/SettingsSheet.h"
#include "app/settings/SheetParts.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "base/Language.h"
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

namespace {

QString TableText(int id) {
    return Cp932ToQString(LoadString(id));
}

// The language of the texts: read at start-up, so the choice is stored when the sheet is
// accepted and takes effect at the next start.
void AddLanguageChoice(QDialog* sheet, CAppSettings& settings, QWidget* page, QVBoxLayout* layout) {
    auto* combo = new QComboBox(page);
    combo->setObjectName(QStringLiteral("language"));
    combo->addItem(TableText(ids::kStrLanguageAuto), QStringLiteral("auto"));
    for (const QString& code : InstalledLanguages()) {
        const QString name = code == QLatin1String("ja")   ? TableText(ids::kStrLanguageJapanese)
                             : code == QLatin1String("en") ? TableText(ids::kStrLanguageEnglish)
                                                           : code;
        combo->addItem(name, code);
    }
    if (combo->findData(QStringLiteral("en")) < 0) // English is offered even before install
        combo->addItem(TableText(ids::kStrLanguageEnglish), QStringLiteral("en"));
    int current = combo->findData(settings.Language);
    if (current < 0) { // a stored code whose pack is gone: show it, keep it
        combo->addItem(settings.Language, settings.Language);
        current = combo->count() - 1;
    }
    combo->setCurrentIndex(current);
    auto* label = new QLabel(TableText(ids::kStrLanguageLabel), page);
    label->setBuddy(combo);
    auto* note = new QLabel(TableText(ids::kStrLanguageNote), page);
    note->setObjectName(QStringLiteral("languageNote"));
    note->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(combo);
    row->addStretch();
    layout->addSpacing(6);
    layout->addLayout(row);
    layout->addWidget(note);
    QObject::connect(sheet, &QDialog::accepted, combo,
                     [&settings, combo] { settings.Language = combo->currentData().toString(); });
}

} // namespace

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
    AddLanguageChoice(this, m_settings, page, layout);
    layout->addStretch();
    return page;
}

} // namespace tessera
