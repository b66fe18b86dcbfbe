#include "app/settings/SettingsSheet.h"

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

#include "app/core/AppSettings.h"
#include "app/core/Cp932.h"
#include "app/dial/ToneDial.h"
#include "model/Prompter.h"
#include "resources/StringTable.h"

namespace tessera {

namespace {

constexpr int kStrCaption = 3072;      // 環境設定
constexpr int kStrCountUnit = 3050;    // 個
constexpr int kStrFirstModel = 6144;   // PI-3000 .. PI系以外
constexpr int kMsgSetAgain = 1032;
constexpr int kMsgIntRange = 61713;    // whole number between %d and %d

constexpr int kModelChoices = 11;      // model codes 0..9 and "not a PI model"
constexpr int kMinBuffer = 6;          // 64 KiB
constexpr int kMaxBuffer = 10;         // 1024 KiB
constexpr int kDefaultBuffer = 7;
constexpr int kMinHistory = 1;
constexpr int kMaxHistory = 16;        // what the recent-file list can hold
constexpr int kDefaultHistory = 4;
constexpr int kMinWidth = 1;
constexpr int kMaxWidth = 1024;
constexpr int kSpeedIndex9600 = 5;
constexpr int kMaxCallOut = 32;

const char* const kModelFallback[kModelChoices] = {
    "PI-3000", "PI-4000", "PI-4500", "PI-5000", "PI-6000", "PI-6500",
    "PI-6600", "PI-7000", "PI-8000", "MobileZ", "PI系以外"};

// A text of the string table (or of a resource pack), with the built-in words as a fallback.
QString Text(int id, const char* fallback) {
    if (HasString(id))
        return Cp932ToQString(LoadString(id));
    return QString::fromUtf8(fallback);
}

QLabel* Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

CSettingsSheet::CSettingsSheet(CAppSettings& settings, QWidget* parent, ToneAvailability toneAvailable)
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
                                                : description + QStringLiteral(" (") + info.manufacturer() + QLatin1Char(')');
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

// ---------------------------------------------------------------- building the pages

QWidget* CSettingsSheet::BuildPortPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("portPage"));

    auto* methodBox = new QGroupBox(QStringLiteral("通信方法"), page);
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
    m_port->setToolTip(QStringLiteral("一覧にないポートはデバイスのパスを入力してください"));
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
    auto* portLabel = new QLabel(QStringLiteral("ポート(&P) :"), page);
    portLabel->setBuddy(m_port);

    m_speed = new QComboBox(page);
    m_speed->setObjectName(QStringLiteral("speed"));
    for (int i = 0; i < 10; ++i)
        m_speed->addItem(SpeedText(i));
    m_speedLabel = new QLabel(QStringLiteral("通信速度(&R) :"), page);
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
    m_bufferLabel->setMinimumWidth(m_bufferLabel->fontMetrics().horizontalAdvance(QStringLiteral("1024KB ")));
    connect(m_buffer, &QSlider::valueChanged, this, &CSettingsSheet::UpdateBufferLabel);
    connect(m_buffer, &QSlider::sliderMoved, this, &CSettingsSheet::UpdateBufferLabel);
    auto* bufferTitle = new QLabel(QStringLiteral("送信バッファ(&B) :"), page);
    bufferTitle->setBuddy(m_buffer);
    auto* bufferRow = new QHBoxLayout;
    bufferRow->addWidget(m_buffer, 1);
    bufferRow->addWidget(m_bufferLabel);

    m_ignoreEcho = new QCheckBox(Text(101161, "エコーを無視する(&E)"), page);
    m_ignoreEcho->setObjectName(QStringLiteral("ignoreEcho"));

    auto* form = new QFormLayout;
    form->addRow(portLabel, m_port);
    form->addRow(QString(), m_portDescription);
    form->addRow(m_speedLabel, speedRow);
    form->addRow(bufferTitle, bufferRow);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(methodBox);
    layout->addLayout(form);
    layout->addWidget(m_ignoreEcho);
    layout->addStretch();
    return page;
}

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
    m_autoComp = make(101229, "スケジュール終了時刻を開始時刻で自動補完する(&C)", "scheduleAutoComp");

    m_maxWidth = new QLineEdit(page);
    m_maxWidth->setObjectName(QStringLiteral("maxFieldWidth"));
    m_maxWidth->setMaxLength(8);
    m_maxWidth->setAlignment(Qt::AlignRight);
    m_maxWidth->setFixedWidth(m_maxWidth->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
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
    layout->addSpacing(6);
    layout->addWidget(m_imageSize);
    layout->addWidget(m_limitWidth);
    layout->addLayout(widthRow);
    layout->addWidget(m_autoComp);
    layout->addStretch();
    return page;
}

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
    m_historyLabel->setMinimumWidth(m_historyLabel->fontMetrics().horizontalAdvance(QStringLiteral("16個  ")));
    connect(m_history, &QSlider::valueChanged, this, &CSettingsSheet::UpdateHistoryLabel);
    connect(m_history, &QSlider::sliderMoved, this, &CSettingsSheet::UpdateHistoryLabel);
    auto* historyTitle = new QLabel(QStringLiteral("最近使ったファイルの数(&F) :"), page);
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

QWidget* CSettingsSheet::BuildDialPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("dialPage"));

    auto* methodBox = new QGroupBox(QStringLiteral("ダイアル方法"), page);
    m_dialHandler = new QRadioButton(QStringLiteral("電話アプリケーションで発信(&T)"), methodBox);
    m_dialHandler->setObjectName(QStringLiteral("dialHandler"));
    m_handlerNote = Note(QStringLiteral("電話番号をデスクトップの電話機能(ソフトフォン、連携した携帯電話など)に渡します。"),
                         methodBox);
    m_dialTones = new QRadioButton(QStringLiteral("トーンダイアル(&D)"), methodBox);
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
    m_callOutLabel = new QLabel(QStringLiteral("外線発信番号(&O) :"), page);
    m_callOutLabel->setObjectName(QStringLiteral("callOutLabel"));
    m_callOutLabel->setBuddy(m_callOut);

    auto* callOutRow = new QHBoxLayout;
    callOutRow->addWidget(m_callOutLabel);
    callOutRow->addWidget(m_callOut, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(methodBox);
    layout->addLayout(callOutRow);
    layout->addWidget(Note(Text(9041, "@で1秒、$で5秒、%で10秒間待ちます"), page));
    layout->addWidget(Note(QStringLiteral(",(カンマ)で0.5秒間待ちます"), page));
    layout->addStretch();

    // Without a sound output tone dialing cannot work in this run; the stored choice stays
    // as it is, so it works again once an output is there.
    m_toneNote->setText(m_toneAvailable
                            ? QStringLiteral("サウンド出力からプッシュ音(DTMF)を鳴らしてダイアルします。"
                                             "受話器をスピーカーに近づけるか、回線アダプタをつないでください。")
                            : QStringLiteral("サウンド出力が見つからないため、現在は使用できません。"));
    m_dialTones->setEnabled(m_toneAvailable);
    m_toneNote->setEnabled(m_toneAvailable);
    m_callOutLabel->setEnabled(m_toneAvailable);
    return page;
}

// ---------------------------------------------------------------- filling and enable rules

void CSettingsSheet::SetPortChoices(const QList<PortChoice>& ports) {
    const QString keep = m_port->currentText().isEmpty() ? m_settings.Port() : ChosenPort();
    m_portChoices = ports;
    const QSignalBlocker block(m_port);
    m_port->clear();
    for (const PortChoice& p : ports) {
        const QString shown = p.description.isEmpty() ? p.name : p.name + QStringLiteral("  —  ") + p.description;
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
    return Cp932ToQString(FormatText(QStringToCp932Lossy(Text(9044, "%dKB")), {static_cast<long long>(kb)}));
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

void CSettingsSheet::accept() {
    if (!Validate())
        return;
    Apply();
    QDialog::accept();
}

} // namespace tessera
