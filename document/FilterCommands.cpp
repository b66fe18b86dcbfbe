#include "document/FilterCommands.h"

#include "base/Cp932.h"
#include "document/DocHost.h"
#include "document/FilterDoc.h"
#include "document/TesseraDoc.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tessera {

namespace {

QString Run(QWidget* parent, const FilterFileRequest& request, int& chosen, bool save) {
    QString selected = request.filters.value(0);
    const QString filter = request.filters.join(QStringLiteral(";;"));
    const QString path =
        save ? QFileDialog::getSaveFileName(parent, request.title, QString(), filter, &selected,
                                            QFileDialog::DontConfirmOverwrite)
             : QFileDialog::getOpenFileName(parent, request.title, QString(), filter, &selected);
    chosen = static_cast<int>(request.filters.indexOf(selected));
    return path;
}

FilterFileDialog DefaultDialog(bool save) {
    return [save](QWidget* p, const FilterFileRequest& r, int& c) { return Run(p, r, c, save); };
}
FilterFileDialog& OpenDialog() {
    static FilterFileDialog d = DefaultDialog(false);
    return d;
}
FilterFileDialog& SaveDialog() {
    static FilterFileDialog d = DefaultDialog(true);
    return d;
}

QString Title(int id) {
    return Cp932ToQString(LoadString(id));
}

} // namespace

void SetFilterFileDialogs(FilterFileDialog open, FilterFileDialog save) {
    OpenDialog() = open ? std::move(open) : DefaultDialog(false);
    SaveDialog() = save ? std::move(save) : DefaultDialog(true);
}

QStringList FilterDescriptions(const QString& list) {
    const QStringList parts = list.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts.at(i);
    return out;
}

bool ImportEnabled(const CAppSettings& settings, const CTesseraDoc& doc) {
    // Not while a transfer job may be filling or reading this document.
    return settings.Installed > 0 && !doc.Host().IsBusy();
}

bool ExportEnabled(const CAppSettings& settings, const CTesseraDoc& doc) {
    return settings.Installed > 0 && doc.RecordSet() != nullptr && doc.RecordSet()->Kind() != 0 &&
           !doc.Host().IsBusy();
}

bool RunImportCommand(CTesseraDoc& doc, CAppSettings& settings, QWidget* parent,
                      const FilterWaiter& waiter) {
    const QStringList filters = FilterDescriptions(settings.BuildFilterList());
    int chosen = -1;
    const QString path = OpenDialog()(parent, {Title(kMsgImportTitle), filters}, chosen);
    if (path.isEmpty())
        return false;
    return ImportFile(doc, path, settings.FilterNameAt(chosen), waiter);
}

bool RunExportCommand(CTesseraDoc& doc, CAppSettings& settings, QWidget* parent,
                      const FilterWaiter& waiter) {
    const QStringList filters = FilterDescriptions(settings.BuildFilterList());
    int chosen = -1;
    QString path = SaveDialog()(parent, {Title(kMsgExportTitle), filters}, chosen);
    if (path.isEmpty())
        return false;
    const QString name = settings.FilterNameAt(chosen);
    FilterProgram filter;
    if (!LookUpFilter(name, filter))
        return false;
    // The extension first, so the question is asked about the file actually written.
    path = WithFilterExtension(path, filter.extension.left(32));
    if (QFileInfo::exists(path) &&
        ShowMessage(kMsgFilterOverwrite, PromptIcon::Question, PromptButtons::YesNo,
                    QStringToCp932Lossy(QFileInfo(path).fileName())) != PromptResult::Yes)
        return false;
    return ExportFile(doc, path, name, waiter);
}

} // namespace tessera
