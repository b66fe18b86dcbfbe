// tessera-pdf IN.tsr OUT.pdf NAME [--landscape]: the PDF of a record-set file's table, for
// `tessera-cli print` (which reads and checks the file first, and keeps Qt Gui out of the
// command line). Draws on Qt's offscreen platform: no display is needed. Exit 0 when the
// PDF was written, 2 when the input could not be read, 3 when the output could not be written.

#include "base/AppSettings.h"
#include "model/CodeMap.h"
#include "model/RecordSet.h"
#include "print/TablePrint.h"

#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform wants a runtime folder; a private one does when there is none.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool landscape = args.removeAll(QStringLiteral("--landscape")) > 0;
    if (args.size() != 3) {
        std::fputs("usage: tessera-pdf IN.tsr OUT.pdf NAME [--landscape]\n", stderr);
        return 1;
    }
    QFile in(args[0]);
    if (!in.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray bytes = in.readAll();
    tessera::CCodeMap map;
    if (!map.LoadTables())
        return 2;
    tessera::CRecordSet set;
    // The text was written by tessera-cli from what it read: nothing in it asks.
    if (!set.ReadText(bytes.constData(), static_cast<std::size_t>(bytes.size()), &map))
        return 2;

    // The column widths the window keeps for these fields.
    tessera::CPrintTable table = tessera::CPrintTable::WholeSet(set, args[2]);
    const std::unique_ptr<QSettings> store = tessera::CAppSettings::OpenStore();
    for (tessera::CPrintColumn& c : table.columns) {
        const std::string& tag = set.Tags()[static_cast<std::size_t>(c.field)];
        bool ok = false;
        const int w =
            store->value(QStringLiteral("Field Width/") + QString::fromStdString(tag)).toInt(&ok);
        if (ok && w > 0 && w < 4000)
            c.width = w;
    }
    return tessera::WriteTablePdf(args[1], table, landscape) ? 0 : 3;
}
