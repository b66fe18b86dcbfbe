#include "print/PrintUi.h"

#include "base/Cp932.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

void SetUpPrinter(QPrinter& printer, const CPrintTable& table) {
    printer.setDocName(table.documentName);
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    // A table wider than it is long reads better across the page.
    int width = 0;
    for (const CPrintColumn& c : table.columns)
        width += c.width;
    if (width > 1100)
        printer.setPageOrientation(QPageLayout::Landscape);
}

} // namespace

bool PrintTableWithDialog(QWidget* parent, const CPrintTable& table) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, table);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (PaintTable(printer, table) == 0) {
        ShowMessage(ids::kMsgPrintFailed, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    return true;
}

void PreviewTable(QWidget* parent, const CPrintTable& table) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, table);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintPreview"));
    dialog.setWindowTitle(Text(ids::kStrPrintPreviewTitle) + QStringLiteral(" - ") +
                          table.documentName);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&table](QPrinter* p) { PaintTable(*p, table); });
    dialog.resize(900, 700);
    dialog.exec();
}

bool ExportTablePdf(QWidget* parent, const CPrintTable& table, const QString& suggested) {
    QString path = QFileDialog::getSaveFileName(parent, Text(ids::kStrPdfTitle), suggested,
                                                Text(ids::kStrPdfFilter));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    int width = 0;
    for (const CPrintColumn& c : table.columns)
        width += c.width;
    if (!WriteTablePdf(path, table, width > 1100)) {
        ShowMessage(ids::kMsgPdfWrite, PromptIcon::Warning, PromptButtons::Ok,
                    QStringToCp932Lossy(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

} // namespace tessera
