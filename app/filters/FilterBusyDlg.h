#pragma once
// The dialog shown while a filter program runs: application-modal, so no document can be
// closed, edited, received into or imported into meanwhile; Cancel ends the filter.

#include "base/FilterRunner.h"

#include <QDialog>

namespace tessera {

class CFilterBusyDlg : public QDialog {
    Q_OBJECT
public:
    CFilterBusyDlg(CFilterProcess& process, QWidget* parent = nullptr);

    // Closes by itself when the filter ends; Cancel (or closing the dialog) stops it:
    // SIGTERM, then SIGKILL after a grace period or a second Cancel.
    int exec() override;
    void reject() override;

    // The waiter import and export use in the window program.
    static FilterWaiter Waiter(QWidget* parent);

private:
    CFilterProcess& m_process;
};

} // namespace tessera
