#pragma once
// The import and export commands of a document window: the file dialogs over the
// registered filters, the extension and the overwrite question, then ImportFile/ExportFile.

#include "base/FilterRunner.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace tessera {

class CTesseraDoc;

// One file dialog: title, the filter descriptions ("name (*.ext)") in registration order;
// returns the chosen path (empty when cancelled) and the chosen description's index.
struct FilterFileRequest {
    QString title;
    QStringList filters;
};
using FilterFileDialog =
    std::function<QString(QWidget* parent, const FilterFileRequest& request, int& chosen)>;
// Tests replace the dialogs; the defaults are Qt's open and save dialogs. The save dialog
// asks nothing itself: the overwrite question comes once the extension is known. A null
// function puts the default back.
void SetFilterFileDialogs(FilterFileDialog open, FilterFileDialog save);

// The descriptions of a "name (*.ext)|*.ext|...||" list.
QStringList FilterDescriptions(const QString& list);

// Import needs a registered filter; export also a document with a kind.
bool ImportEnabled(const CAppSettings& settings, const CTesseraDoc& doc);
bool ExportEnabled(const CAppSettings& settings, const CTesseraDoc& doc);

bool RunImportCommand(CTesseraDoc& doc, CAppSettings& settings, QWidget* parent,
                      const FilterWaiter& waiter = WaitForFilter);
bool RunExportCommand(CTesseraDoc& doc, CAppSettings& settings, QWidget* parent,
                      const FilterWaiter& waiter = WaitForFilter);

} // namespace tessera
