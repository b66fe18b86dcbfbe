#include "app/editors/common/EditorDialog.h"

#include "app/Help.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>

namespace tessera {

// ---------------------------------------------------------------- the dialog base

CRecordEditor::CRecordEditor(int dialogId, const CAppSettings& settings, QWidget* parent)
    : QDialog(parent), m_dialogId(dialogId), m_settings(settings) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

CRecordEditor::~CRecordEditor() = default;

int CRecordEditor::ModelCode() const {
    return m_settings.ModelCode();
}

void CRecordEditor::SetNewRecord() {
    m_isNew = true;
    InitNewRecord();
}

bool CRecordEditor::LoadFailed() {
    ShowMessage(kMsgEditCannotLoad, PromptIcon::Stop, PromptButtons::Ok);
    return false;
}

bool CRecordEditor::StoreIntoRecord(CDataRecord& record) {
    CFieldWrites writes;
    if (!Compose(writes))
        return false;
    return writes.Apply(record);
}

void CRecordEditor::accept() {
    if (!CanClose() || !Validate())
        return;
    if (m_target != nullptr) {
        CFieldWrites writes;
        if (!Compose(writes) || !writes.Apply(*m_target))
            return;
    }
    QDialog::accept();
}

void CRecordEditor::reject() {
    if (!CanClose())
        return;
    QDialog::reject();
}

QDialogButtonBox* CRecordEditor::MakeButtons() {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Help,
                                     Qt::Vertical, this);
    box->setObjectName(QStringLiteral("buttons"));
    m_buttons = box;
    box->button(QDialogButtonBox::Ok)->setText(EditorText(9026));
    box->button(QDialogButtonBox::Cancel)->setText(EditorText(9027));
    box->button(QDialogButtonBox::Help)->setText(EditorText(101217));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box, &QDialogButtonBox::helpRequested, this,
            [this] { ShowHelpTopic(kHelpTopicBase + static_cast<unsigned>(m_dialogId)); });
    return box;
}

void CRecordEditor::FinishForm(std::initializer_list<QWidget*> chain, QWidget* first) {
    std::vector<QWidget*> order;
    for (QWidget* w : chain)
        if (w != nullptr)
            order.push_back(w);
    if (m_buttons != nullptr)
        for (auto role : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel, QDialogButtonBox::Help})
            if (QPushButton* b = m_buttons->button(role))
                order.push_back(b);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    if (first == nullptr && !order.empty())
        first = order.front();
    if (first != nullptr)
        first->setFocus(Qt::OtherFocusReason);
    AssignAccessKeys(this);
}

} // namespace tessera
