#include "app/editors/NewDlg.h"

#include "base/Cp932.h"
#include "document/RecordCommands.h"
#include "text/StringTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

} // namespace

CNewDlg::CNewDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CNewDlg"));
    setWindowTitle(Text(kDialogTitleBase + 134));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("KindList"));
    for (int kind : kNewDocumentKinds)
        m_list->addItem(Cp932ToQString(LoadString(4095 + kind)));
    m_list->setCurrentRow(0);
    m_list->setMinimumHeight(m_list->sizeHintForRow(0) * 8 + 2 * m_list->frameWidth() + 4);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(9026), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Text(9027), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

int CNewDlg::Choice() const {
    return m_list->currentRow();
}

void CNewDlg::SetChoice(int choice) {
    m_list->setCurrentRow(choice);
}

int CNewDlg::Choose(QWidget* parent) {
    CNewDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return -1;
    const int choice = dlg.Choice();
    return choice >= 0 && choice < 8 ? choice : -1;
}

} // namespace tessera
