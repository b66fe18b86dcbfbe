#include "app/filters/FilterBusyDlg.h"

#include "base/Cp932.h"
#include "text/StringTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

namespace {
QString Text(int id, const char* fallback) {
    return HasString(id) ? Cp932ToQString(LoadString(id)) : QString::fromUtf8(fallback);
}
} // namespace

CFilterBusyDlg::CFilterBusyDlg(CFilterProcess& process, QWidget* parent)
    : QDialog(parent), m_process(process) {
    setWindowTitle(QStringLiteral("Tessera"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* label =
        new QLabel(Text(kFixedTextBase + 83, "フィルタプログラムを実行しています..."), this);
    layout->addWidget(label);
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0); // no end known: a filter tells nothing about its progress
    layout->addWidget(bar);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(kFixedTextBase + 27, "キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFilterBusyDlg::reject);
    layout->addWidget(buttons);
    connect(&m_process, &CFilterProcess::Stopping, label, [label] {
        label->setText(Text(kMsgFilterStopping, "フィルタプログラムを終了させています..."));
    });
    connect(&m_process, &CFilterProcess::Done, this, [this] {
        if (isVisible())
            QDialog::accept();
    });
}

int CFilterBusyDlg::exec() {
    if (m_process.IsDone())
        return Accepted;
    return QDialog::exec();
}

void CFilterBusyDlg::reject() {
    // The dialog stays until the filter has really ended (it closes on Done), so nothing
    // touches the files while the filter may still write; a second Cancel kills it at once.
    m_process.Cancel();
    if (m_process.IsDone() && isVisible())
        QDialog::reject();
}

FilterWaiter CFilterBusyDlg::Waiter(QWidget* parent) {
    return [parent](CFilterProcess& process) {
        CFilterBusyDlg dlg(process, parent);
        dlg.exec();
    };
}

} // namespace tessera
