#pragma once
// Printing a record table: the rows and columns the window shows (or a whole file's, for
// `tessera-cli print`), laid out on pages with the column titles repeated on each, long
// texts wrapped inside their cells, memo pictures drawn, and a footer with the document's
// name, the page number and the date. One painter serves the printer, the print preview
// and PDF files.
//
//     CPrintTable table = CPrintTable::WholeSet(set, name);   // or the view's rows
//     WriteTablePdf(path, table, /*landscape*/ false);

#include <QDateTime>
#include <QString>
#include <vector>

class QPagedPaintDevice;

namespace tessera {

class CRecordSet;

struct CPrintColumn {
    int field = 0;   // field index in the record
    int width = 100; // width on the screen, in pixels at 96 dpi
};

struct CPrintTable {
    const CRecordSet* set = nullptr;
    std::vector<int> rows; // record indices, in the order they are printed
    std::vector<CPrintColumn> columns;
    QString documentName;
    QDateTime printed = QDateTime::currentDateTime();

    // Every record in record order, every column at `width`.
    static CPrintTable WholeSet(const CRecordSet& set, const QString& name, int width = 100);
};

// The text a cell prints: the whole display text, with the report's item separator shown
// as a bar and TABs as spaces.
QString PrintCellText(const CRecordSet& set, int record, int field);

// Paints `table` on `device`, one page after the other. Returns the number of pages, 0 when
// the device could not be painted on.
int PaintTable(QPagedPaintDevice& device, const CPrintTable& table);

// Writes `table` as a PDF file (A4, the fonts embedded). False when the file could not be
// written; an older file at `path` is then left as it was.
bool WriteTablePdf(const QString& path, const CPrintTable& table, bool landscape);

} // namespace tessera
