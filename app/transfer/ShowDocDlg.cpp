#include "app/transfer/ShowDocDlg.h"

#include "base/Cp932.h"
#include "text/StringTable.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

namespace {

QString Text(int id, const char* fallback) {
    return HasString(id) ? Cp932ToQString(LoadString(id)) : QString::fromUtf8(fallback);
}

} // namespace

CShowDocDlg::CShowDocDlg(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CShowDocDlg"));
    setWindowTitle(Text(kDialogTitleBase + 162, ""));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("DocumentText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setPlainText(text);
    m_text->setMinimumSize(440, 260);

    auto* note = new QLabel(Text(9025, ""), this);
    note->setObjectName(QStringLiteral("Note"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Text(9026, "OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(Text(9027, ""), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(note);
    layout->addWidget(buttons);
    ok->setFocus();
}

} // namespace tessera
