#include "app/editors/report/ReportDlg.h"

#include "base/Cp932.h"
#include "model/FieldLimits.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <new>

namespace tessera {

namespace {

constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kCLAS = MakeTag("CLAS");
constexpr FieldTag kMEM1 = MakeTag("MEM1");
constexpr FieldTag kPRF1 = MakeTag("PRF1");
constexpr FieldTag kCLSC = MakeTag("CLSC");

constexpr char kTab = '\t';
constexpr char kSeparator = 0x1F;
constexpr int kItemNameLimit = 12;
constexpr std::size_t kListContentBytes = 48;
constexpr uint8_t kSkipBit = 0x80;

// Next TAB at or after `from`, stepping over double-byte characters.
std::size_t FindTab(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(b) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        if (text[i] == kTab)
            return i;
    }
    return std::string_view::npos;
}

std::string SeparatorsToCrLf(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        if (c == kSeparator)
            out.append("\r\n");
        else
            out.push_back(c);
    }
    return out;
}

// A content's line breaks as one 0x1F each (a lone CR or LF counts as one break too).
std::string CrLfToSeparators(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out.push_back(kSeparator);
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else if (s[i] == '\n') {
            out.push_back(kSeparator);
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// The first `max` bytes of a code page 932 text, never splitting a character.
std::string FirstBytes(std::string_view s, std::size_t max) {
    return std::string(s.substr(0, WholeCharacterBytes(s, max)));
}

} // namespace

bool IsReportText(std::string_view text) {
    return !text.empty() && FindTab(text, 0) != std::string_view::npos;
}

std::vector<ReportItem> ParseReportText(std::string_view text) {
    std::vector<ReportItem> items;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ReportItem item;
        const std::size_t tab = FindTab(text, pos);
        if (tab == std::string_view::npos) {
            // Text after the last item without a TAB: kept as a name, so nothing is lost.
            item.name.assign(text.substr(pos));
            items.push_back(std::move(item));
            break;
        }
        item.name.assign(text.substr(pos, tab - pos));
        const std::size_t start = tab + 1;
        const std::size_t nextTab = FindTab(text, start);
        if (nextTab == std::string_view::npos) {
            item.content = SeparatorsToCrLf(text.substr(start));
            pos = text.size();
        } else {
            const std::size_t sep = text.substr(0, nextTab).rfind(kSeparator);
            if (sep == std::string_view::npos || sep < start) {
                // No separator before the next TAB: this item has no content and the next
                // one's name starts right here.
                pos = start;
            } else {
                item.content = SeparatorsToCrLf(text.substr(start, sep - start));
                pos = sep + 1;
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

ReportCompose ComposeReportText(const std::vector<ReportItem>& items, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string content = CrLfToSeparators(items[i].content);
        if (out.size() + items[i].name.size() > kReportMaxText ||
            out.size() + content.size() > kReportMaxText)
            return ReportCompose::TooLong;
        if (i > 0)
            out.push_back(kSeparator);
        out += items[i].name;
        out.push_back(kTab);
        out += content;
    }
    if (out.size() > kReportMaxText)
        return ReportCompose::TooLong;
    if (items.size() > static_cast<std::size_t>(kReportMaxItems))
        return ReportCompose::TooManyItems;
    return ReportCompose::Ok;
}

std::size_t ReportTextSize(const std::vector<ReportItem>& items) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
        size +=
            (i > 0 ? 1 : 0) + items[i].name.size() + 1 + CrLfToSeparators(items[i].content).size();
    return size;
}

int PrintFormatIndex(const std::vector<uint8_t>& bytes, int n) {
    int seen = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] & kSkipBit)
            continue;
        if (seen == n)
            return static_cast<int>(i);
        ++seen;
    }
    return -1;
}

void SetItemPrintFormat(std::vector<uint8_t>& bytes, int n, uint8_t value) {
    value &= static_cast<uint8_t>(~kSkipBit);
    const int index = PrintFormatIndex(bytes, n);
    if (index >= 0) {
        bytes[static_cast<std::size_t>(index)] = value;
        return;
    }
    int count = 0;
    for (uint8_t b : bytes)
        if (!(b & kSkipBit))
            ++count;
    while (count < n) {
        bytes.push_back(0);
        ++count;
    }
    bytes.push_back(value);
}

void RemoveItemPrintFormat(std::vector<uint8_t>& bytes, int n) {
    const int index = PrintFormatIndex(bytes, n);
    if (index >= 0)
        bytes.erase(bytes.begin() + index);
}

CReportDlg::CReportDlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(141, settings, parent) {
    setObjectName(QStringLiteral("CReportDlg"));
    setWindowTitle(EditorText(110141));
    m_print = DefaultItemPrintSettings();

    m_formatBox = new QGroupBox(this);
    m_formatBox->setObjectName(QStringLiteral("formatBox"));
    m_free = new QRadioButton(EditorText(101145), m_formatBox);
    m_free->setObjectName(QStringLiteral("freeFormat"));
    m_report = new QRadioButton(EditorText(101146), m_formatBox);
    m_report->setObjectName(QStringLiteral("reportFormat"));
    m_free->setChecked(true);
    auto* formatRow = new QHBoxLayout(m_formatBox);
    formatRow->addWidget(m_free);
    formatRow->addWidget(m_report);
    formatRow->addStretch(1);

    m_secret = new QCheckBox(EditorText(101086), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_fileName = new CByteLineEdit(FieldByteLimit(kKindReport, kCLAS), this);
    m_fileName->setObjectName(QStringLiteral("fileName"));
    auto* fileLabel = new QLabel(EditorText(101089), this);
    fileLabel->setBuddy(m_fileName);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("items"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({EditorText(9061), EditorText(9062)});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 70);
    m_list->setColumnWidth(1, 170);
    m_list->setMinimumWidth(260);

    m_itemName = new CByteLineEdit(kItemNameLimit, this);
    m_itemName->setObjectName(QStringLiteral("itemName"));
    auto* nameLabel = new QLabel(EditorText(101067), this);
    nameLabel->setBuddy(m_itemName);
    m_content = new CByteTextEdit(static_cast<int>(kFreeMaxText), this);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->SetSoftLimit(true);
    SetEditLines(m_content, 7);
    auto* contentLabel = new QLabel(EditorText(101023), this);
    contentLabel->setBuddy(m_content);
    SetEditFieldName(m_fileName, Cp932ToQString(FieldName(kCLAS)));
    SetEditFieldName(m_itemName, EditorText(9061));
    SetEditFieldName(m_content, EditorText(9062));
    m_reportRoom = new QLabel(this);
    m_reportRoom->setObjectName(QStringLiteral("reportRoom"));
    m_reportRoom->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto button = [this](int id, const char* fallback, const char* name) {
        auto* b = new QPushButton(EditorText(id, fallback), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_printButton = button(101202, "印刷設定(&P)...", "printSettings");
    m_update = button(101096, "更新(&E)", "update");
    m_add = button(101084, "追加(&A)", "add");
    m_delete = button(101085, "削除(&D)", "delete");
    m_pending = new QLabel(this);
    m_pending->setObjectName(QStringLiteral("pendingMark"));
    m_pending->setMinimumWidth(
        QFontMetrics(m_pending->font()).horizontalAdvance(QStringLiteral("**")));

    auto* itemButtons = new QHBoxLayout;
    itemButtons->addWidget(m_printButton);
    itemButtons->addWidget(m_pending);
    itemButtons->addStretch(1);
    itemButtons->addWidget(m_update);
    itemButtons->addWidget(m_add);
    itemButtons->addWidget(m_delete);

    auto* head = new QGridLayout;
    head->addWidget(m_formatBox, 0, 0, 1, 3);
    head->addWidget(m_secret, 1, 0);
    head->addWidget(fileLabel, 1, 1, Qt::AlignRight);
    head->addWidget(m_fileName, 1, 2);
    head->setColumnStretch(2, 1);

    auto* itemForm = new QGridLayout;
    itemForm->addWidget(nameLabel, 0, 0, Qt::AlignRight);
    itemForm->addWidget(m_itemName, 0, 1);
    itemForm->addWidget(contentLabel, 1, 0, Qt::AlignRight | Qt::AlignTop);
    itemForm->addWidget(m_content, 1, 1);
    itemForm->addWidget(m_content->RoomLabel(), 2, 1);
    itemForm->setColumnStretch(1, 1);
    itemForm->setRowStretch(1, 1);

    auto* fields = new QVBoxLayout;
    fields->addLayout(head);
    fields->addWidget(m_list, 1);
    fields->addWidget(m_reportRoom);
    fields->addLayout(itemForm, 1);
    fields->addLayout(itemButtons);

    auto* top = new QHBoxLayout(this);
    top->addLayout(fields, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);

    connect(m_free, &QRadioButton::toggled, this, [this] { ApplyEnableRules(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!m_filling && current != nullptr)
            SelectRow(m_list->indexOfTopLevelItem(current));
    });
    connect(m_list, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { SelectRow(m_list->indexOfTopLevelItem(item)); });
    connect(m_add, &QPushButton::clicked, this, &CReportDlg::AddItem);
    connect(m_update, &QPushButton::clicked, this, &CReportDlg::UpdateItem);
    connect(m_delete, &QPushButton::clicked, this, &CReportDlg::DeleteItem);
    // Enter in the item name puts the item into the list instead of closing the dialog;
    // in the content, where Enter breaks the line, Ctrl+Enter does the same.
    m_itemName->installEventFilter(this);
    m_content->installEventFilter(this);
    connect(m_itemName, &QLineEdit::textChanged, this, &CReportDlg::UpdateReportRoom);
    connect(m_content, &QPlainTextEdit::textChanged, this, &CReportDlg::UpdateReportRoom);
    connect(m_printButton, &QPushButton::clicked, this, [this] {
        ReportPrintSettings s = m_print;
        if (CReportPrintDlg::Edit(this, s))
            TakePrintSettings(s);
    });
    ApplyEnableRules();
    FinishForm({m_free, m_report, m_secret, m_fileName, m_list, m_itemName, m_content,
                m_printButton, m_update, m_add, m_delete},
               m_content);
}

bool CReportDlg::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_itemName || watched == m_content) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool wanted = watched == m_itemName || key->modifiers().testFlag(Qt::ControlModifier);
        if (enter && wanted && IsReportFormat()) {
            AddOrUpdateItem();
            return true;
        }
    }
    return CRecordEditor::eventFilter(watched, event);
}

bool CReportDlg::IsReportFormat() const {
    return m_report->isChecked();
}

void CReportDlg::TakePrintSettings(const ReportPrintSettings& settings) {
    m_print = settings;
    m_pending->setText(QStringLiteral("*"));
}

void CReportDlg::ApplyEnableRules() {
    const bool report = IsReportFormat();
    const int count = static_cast<int>(m_items.size());
    const bool selected = m_selected >= 0 && m_selected < count;
    m_list->setEnabled(report);
    m_itemName->setEnabled(report);
    m_printButton->setEnabled(report);
    // Update and delete act on the selected row, so they wait for one.
    m_update->setEnabled(report && selected);
    m_add->setEnabled(report && count < kReportMaxItems);
    m_delete->setEnabled(report && selected);
    m_content->SetMaxBytes(report ? 0 : static_cast<int>(kFreeMaxText));
    UpdateReportRoom();
}

int CReportDlg::ReportRoomLeft() const {
    std::vector<ReportItem> items = m_items;
    std::string name, content;
    m_itemName->TakeBytes(name);
    m_content->TakeBytes(content);
    if (!name.empty() || !content.empty()) {
        ReportItem typed{std::move(name), std::move(content)};
        if (m_selected >= 0 && m_selected < static_cast<int>(items.size()))
            items[static_cast<std::size_t>(m_selected)] = std::move(typed);
        else
            items.push_back(std::move(typed));
    }
    return static_cast<int>(kReportMaxText) - static_cast<int>(ReportTextSize(items));
}

void CReportDlg::UpdateReportRoom() {
    const bool report = IsReportFormat();
    m_reportRoom->setVisible(report);
    if (report)
        m_reportRoom->setText(
            EditorText(ids::kTextReportRoom)
                .replace(QStringLiteral("%d"), QString::number(ReportRoomLeft())));
}

void CReportDlg::SetRowTexts(QTreeWidgetItem* row, const ReportItem& item) {
    QString content = Cp932ToQString(FirstBytes(item.content, kListContentBytes));
    content.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    row->setText(0, Cp932ToQString(item.name));
    row->setText(1, content);
}

void CReportDlg::FillList() {
    m_filling = true;
    m_list->clear();
    for (const ReportItem& item : m_items) {
        auto* row = new QTreeWidgetItem(m_list);
        SetRowTexts(row, item);
    }
    m_filling = false;
}

bool CReportDlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    std::string fileName, text;
    const CField* clsc = FieldOf(record, kCLSC);
    const CField* prf = FieldOf(record, kPRF1);
    if (!LoadInt(record, kSCRT, secret) || !LoadText(record, kCLAS, fileName) ||
        !LoadText(record, kMEM1, text) || clsc == nullptr || prf == nullptr)
        return LoadFailed();
    const uint16_t* code = ValueAs<uint16_t>(clsc->GetValue());
    const std::vector<uint8_t>* bytes = ValueAs<std::vector<uint8_t>>(prf->GetValue());
    if (code == nullptr || bytes == nullptr)
        return LoadFailed();

    m_secret->setChecked(secret != 0);
    m_fileName->SetBytes(fileName);
    m_classCode = *code;
    m_printFormats = *bytes;
    m_loadedPrintFormats = *bytes;
    m_loadedText = text;
    m_items.clear();
    m_selected = -1;
    try {
        m_loadedReport = IsReportText(text);
        if (m_loadedReport) {
            m_items = ParseReportText(text);
            m_report->setChecked(true);
            m_content->SetBytes("");
        } else {
            m_free->setChecked(true);
            m_content->SetBytes(text);
        }
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgEditNoMemory, PromptIcon::Stop, PromptButtons::Ok);
    }
    FillList();
    if (m_loadedReport)
        m_itemName->setFocus(Qt::OtherFocusReason);
    // An existing record keeps its format.
    m_formatBox->setEnabled(false);
    m_itemsChanged = false;
    ApplyEnableRules();
    return true;
}

void CReportDlg::SelectRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_items.size()))
        return;
    m_selected = row;
    {
        QSignalBlocker block(m_list);
        m_list->setCurrentItem(m_list->topLevelItem(row));
    }
    m_itemName->SetBytes(m_items[row].name);
    m_content->SetBytes(m_items[row].content);
    const int index = PrintFormatIndex(m_printFormats, row);
    m_print = UnpackPrintFormat(index >= 0 ? m_printFormats[static_cast<std::size_t>(index)] : 0);
    m_pending->clear();
    ApplyEnableRules();
}

bool CReportDlg::TakeItemEdits(ReportItem& item) {
    std::string name, content;
    QString bad;
    TextCheck check = m_itemName->TakeBytes(name, &bad);
    if (check == TextCheck::Ok)
        check = m_content->TakeBytes(content, false, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, kMEM1, bad);
        return false;
    }
    if (name.empty()) {
        ShowMessage(1090, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    // A long name kept from a stored report is cut only once the user edits it.
    if (m_itemName->IsTouched() && name.size() > static_cast<std::size_t>(kItemNameLimit))
        name = FirstBytes(name, kItemNameLimit);
    item.name = std::move(name);
    item.content = std::move(content);
    return true;
}

void CReportDlg::ResetItemEdits() {
    m_itemName->SetBytes("");
    m_content->SetBytes("");
    m_print = DefaultItemPrintSettings();
    m_pending->clear();
}

void CReportDlg::AddItem() {
    if (!IsReportFormat() || m_items.size() >= static_cast<std::size_t>(kReportMaxItems))
        return;
    ReportItem item;
    if (!TakeItemEdits(item))
        return;
    try {
        m_items.push_back(std::move(item));
        SetItemPrintFormat(m_printFormats, static_cast<int>(m_items.size()) - 1,
                           PackPrintFormat(m_print));
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgEditNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    auto* row = new QTreeWidgetItem(m_list);
    SetRowTexts(row, m_items.back());
    m_itemsChanged = true;
    m_selected = -1;
    {
        QSignalBlocker block(m_list);
        m_list->setCurrentItem(nullptr);
        m_list->clearSelection();
    }
    ResetItemEdits();
    ApplyEnableRules();
}

void CReportDlg::UpdateItem() {
    if (m_selected < 0 || m_selected >= static_cast<int>(m_items.size()))
        return;
    ReportItem item;
    if (!TakeItemEdits(item))
        return;
    m_items[m_selected] = std::move(item);
    SetRowTexts(m_list->topLevelItem(m_selected), m_items[m_selected]);
    SetItemPrintFormat(m_printFormats, m_selected, PackPrintFormat(m_print));
    m_itemsChanged = true;
    m_pending->clear();
    // The edits now hold what is stored: later changes count from here.
    m_itemName->SetBytes(m_items[m_selected].name);
    m_content->SetBytes(m_items[m_selected].content);
    UpdateReportRoom();
}

void CReportDlg::AddOrUpdateItem() {
    if (m_selected >= 0 && m_selected < static_cast<int>(m_items.size()))
        UpdateItem();
    else
        AddItem();
}

bool CReportDlg::HasPendingItem() const {
    if (!IsReportFormat())
        return false;
    if (m_selected >= 0 && m_selected < static_cast<int>(m_items.size()))
        return m_itemName->IsTouched() || m_content->IsTouched() || !m_pending->text().isEmpty();
    return !m_itemName->text().isEmpty() || !m_content->IsEmptyText();
}

// OK with an item still in the fields: asks whether to put it into the list first, so a
// typed item is never dropped without the user saying so. False keeps the dialog open.
bool CReportDlg::SettlePendingItem() {
    if (!HasPendingItem())
        return true;
    const bool update = m_selected >= 0;
    QString name = m_itemName->text();
    if (name.isEmpty())
        name = m_content->toPlainText().left(12);
    const PromptResult answer =
        ShowMessage(update ? ids::kMsgReportPendingUpdate : ids::kMsgReportPendingAdd,
                    PromptIcon::Question, PromptButtons::YesNoCancel, QStringToCp932Lossy(name));
    if (answer == PromptResult::Cancel)
        return false;
    if (answer == PromptResult::No)
        return true;
    const std::size_t before = m_items.size();
    const bool wasChanged = m_itemsChanged;
    m_itemsChanged = false;
    AddOrUpdateItem();
    // The add or update refused the item (its own message said why): stay open.
    const bool taken = m_itemsChanged || m_items.size() != before;
    m_itemsChanged = m_itemsChanged || wasChanged;
    return taken;
}

void CReportDlg::DeleteItem() {
    if (m_selected < 0 || m_selected >= static_cast<int>(m_items.size()))
        return;
    m_items.erase(m_items.begin() + m_selected);
    // Its print-format byte goes too, so the items after it keep their own settings.
    RemoveItemPrintFormat(m_printFormats, m_selected);
    {
        QSignalBlocker block(m_list);
        delete m_list->takeTopLevelItem(m_selected);
        m_list->setCurrentItem(nullptr);
        m_list->clearSelection();
    }
    m_selected = -1;
    m_itemsChanged = true;
    ResetItemEdits();
    ApplyEnableRules();
}

bool CReportDlg::ComposeText(std::string& text) {
    if (!IsReportFormat()) {
        QString bad;
        const TextCheck check = m_content->TakeBytes(text, false, &bad);
        if (check != TextCheck::Ok) {
            ShowTextRefused(check, kMEM1, bad);
            return false;
        }
        if (text.size() > kFreeMaxText) {
            ShowMessage(1088, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        return true;
    }
    if (!m_itemsChanged && m_loadedReport) {
        // Untouched items keep the stored text exactly.
        text = m_loadedText;
        if (ParseReportText(text).size() > static_cast<std::size_t>(kReportMaxItems)) {
            ShowMessage(1089, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        if (text.size() > kReportMaxText) {
            ShowMessage(1088, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        return true;
    }
    switch (ComposeReportText(m_items, text)) {
    case ReportCompose::Ok:
        return true;
    case ReportCompose::TooLong:
        ShowMessage(1088, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    case ReportCompose::TooManyItems:
        ShowMessage(1089, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    return false;
}

bool CReportDlg::Validate() {
    if (!SettlePendingItem())
        return false;
    std::string text;
    if (!ComposeText(text))
        return false;
    if (text.empty()) {
        ShowMessage(kMsgEditRequired, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    return true;
}

bool CReportDlg::Compose(CFieldWrites& writes) {
    std::string text;
    if (!ComposeText(text))
        return false;
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    if (!TakeEdit(m_fileName, kCLAS, writes))
        return false;
    writes.SetText(kMEM1, std::move(text));
    if (!IsReportFormat())
        m_classCode = kDefaultClassCode; // a free text has no classification
    // An empty code clears the field instead of being refused by it.
    if (m_classCode == 0)
        writes.Clear(kCLSC);
    else
        writes.Set(kCLSC, m_classCode);
    if (m_printFormats.empty())
        writes.Clear(kPRF1);
    else
        writes.Set(kPRF1, m_printFormats);
    return true;
}

} // namespace tessera
