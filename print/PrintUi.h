#pragma once
// The window's printing commands on a table: print through the system's print dialog, the
// print preview, and PDF export to a file the user picks. Messages go through the prompter.

#include "print/TablePrint.h"

class QWidget;

namespace tessera {

// File > Print: the print dialog, then the pages. False when cancelled or failed (said).
bool PrintTableWithDialog(QWidget* parent, const CPrintTable& table);
// File > Print Preview: the pages in a preview window, from which they can be printed.
void PreviewTable(QWidget* parent, const CPrintTable& table);
// File > Export as PDF: asks for a file (`suggested` proposed) and writes it. False when
// cancelled or failed (said, with message kMsgPdfWrite).
bool ExportTablePdf(QWidget* parent, const CPrintTable& table, const QString& suggested);

} // namespace tessera
