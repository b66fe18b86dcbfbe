#include "app/filters/FilterSetDlg.h"

#include "app/Help.h"
#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/filters/FilterBusyDlg.h"
#include "app/filters/FilterProgDlg.h"
#include "base/Cp932.h"
#include "base/FilterRunner.h"
#include "document/CommandIds.h"
#include "document/FilterCommands.h"
#include "document/TesseraView.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

namespace {

QString Text(int id, const char* fallback) {
    return HasString(id) ? Cp932ToQString(LoadString(id)) : QString::fromUtf8(fallback);
}

bool EditProgram(QWidget* parent, FilterProgram& filter, bool editing) {
    CFilterProgDlg dlg(filter, editing, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    filter = dlg.Filter();
    return true;
}

CFilterSetDlg::ProgramEditor& Editor() {
    static CFilterSetDlg::ProgramEditor editor = EditProgram;
    return editor;
}

} // namespace

void CFilterSetDlg::SetProgramEditor(ProgramEditor editor) {
    Editor() = editor ? std::move(editor) : ProgramEditor(EditProgram);
}

CFilterSetDlg::CFilterSetDlg(CAppSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(Text(kDialogTitleBase + kDialogId, "フィルタの登録"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    auto* label = new QLabel(Text(kControlTextBase + 1204, "登録されているフィルタ(&R) :"), this);
    label->setBuddy(m_list);
    layout->addWidget(label);

    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    auto* column = new QVBoxLayout;
    auto* close = new QPushButton(Text(kFixedTextBase + 28, "閉じる"), this);
    m_add = new QPushButton(Text(kControlTextBase + 1205, "追加(&A)..."), this);
    m_delete = new QPushButton(Text(kControlTextBase + 1206, "削除(&D)..."), this);
    m_edit = new QPushButton(Text(kControlTextBase + 1207, "編集(&E)..."), this);
    auto* help = new QPushButton(Text(kControlTextBase + 1226, "ヘルプ"), this);
    close->setDefault(true);
    for (QPushButton* b : {close, m_add, m_delete, m_edit, help})
        column->addWidget(b);
    column->addStretch(1);
    row->addLayout(column);
    layout->addLayout(row);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_add, &QPushButton::clicked, this, &CFilterSetDlg::Add);
    connect(m_delete, &QPushButton::clicked, this, &CFilterSetDlg::Delete);
    connect(m_edit, &QPushButton::clicked, this, &CFilterSetDlg::Edit);
    connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopicBase + kDialogId); });
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CFilterSetDlg::UpdateButtons);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { Edit(); });

    Fill();
    // The count follows what is registered, whatever an older store said.
    SyncInstalledCount(m_settings);
}

void CFilterSetDlg::Fill() {
    m_list->clear();
    for (const FilterProgram& f : CAppSettings::ReadFilters())
        m_list->addItem(f.name);
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    UpdateButtons();
}

void CFilterSetDlg::UpdateButtons() {
    const bool selected = !SelectedName().isEmpty();
    m_delete->setEnabled(selected);
    m_edit->setEnabled(selected);
}

QString CFilterSetDlg::SelectedName() const {
    const QList<QListWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? QString() : items.front()->text();
}

void CFilterSetDlg::Add() {
    FilterProgram filter;
    if (!Editor()(this, filter, false))
        return;
    if (!CAppSettings::WriteFilter(filter)) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    m_list->addItem(filter.name);
    SyncInstalledCount(m_settings);
}

void CFilterSetDlg::Edit() {
    const QString name = SelectedName();
    if (name.isEmpty())
        return;
    FilterProgram filter;
    if (!CAppSettings::ReadFilter(name, filter))
        filter.name = name; // missing values read as empty
    if (!Editor()(this, filter, true))
        return;
    filter.name = name;
    if (!CAppSettings::WriteFilter(filter))
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
}

void CFilterSetDlg::Delete() {
    const QString name = SelectedName();
    if (name.isEmpty())
        return;
    if (ShowMessage(kMsgDeleteFilter, PromptIcon::Question, PromptButtons::YesNo,
                    QStringToCp932Lossy(name)) != PromptResult::Yes)
        return;
    if (!CAppSettings::RemoveFilter(name)) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    delete m_list->selectedItems().front();
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    SyncInstalledCount(m_settings);
    UpdateButtons();
}

void InstallFilterCommands(CAppSettings& settings) {
    RegisterBundledFilters(settings, QCoreApplication::applicationDirPath());
}

} // namespace tessera
