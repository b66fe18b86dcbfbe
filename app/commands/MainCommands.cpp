// The main window's command table. Adding a menu command is one row here (and its place in
// a menu or the toolbar in MainFrame.cpp); nothing else registers anything. The texts are
// string-table entries: the menu text under the command's id, the hint and tool tip under
// the prompt id below (a row's own texts are used only when the table has none).

#include "app/commands/MainCommands.h"

#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/backup/BackupDlg.h"
#include "app/backup/BundleDlg.h"
#include "app/filters/FilterBusyDlg.h"
#include "app/filters/FilterSetDlg.h"
#include "app/publish/PublishCommand.h"
#include "app/transfer/AddInCommand.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/FilterCommands.h"
#include "document/FindBar.h"
#include "document/RecordCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordSet.h"
#include "print/PrintUi.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QStatusBar>
#include <QToolBar>
#include <map>
#include <string>

namespace tessera {

namespace {

std::function<CommandState()> Always() {
    return [] { return Enabled(true); };
}

CommandState Checked(bool checked) {
    CommandState s = Enabled(true);
    s.checkable = true;
    s.checked = checked;
    return s;
}

// The document's own commands (save, mail, undo) go to the active window's document.
std::function<CommandState()> DocState(CMainFrame& f, int id) {
    return [&f, id] {
        CommandState s;
        if (CTesseraDoc* doc = f.ActiveDocument())
            doc->UpdateCommand(id, s);
        return s;
    };
}

std::function<void()> DocRun(CMainFrame& f, int id) {
    return [&f, id] {
        if (CTesseraDoc* doc = f.ActiveDocument())
            doc->RunCommand(id);
    };
}

// The record commands go to the active table view, which knows its selection.
std::function<CommandState()> ViewState(CMainFrame& f, int id) {
    return [&f, id] {
        CommandState s;
        if (CTesseraView* view = f.ActiveView())
            view->UpdateCommand(id, s);
        return s;
    };
}

std::function<void()> ViewRun(CMainFrame& f, int id) {
    return [&f, id] {
        if (CTesseraView* view = f.ActiveView())
            view->RunCommand(id);
    };
}

// The active view when it has a table to print (not while a receive holds its records).
CTesseraView* PrintableView(CMainFrame& f) {
    CTesseraView* v = f.ActiveView();
    if (v == nullptr || IsDocumentLocked(&v->Document()) || v->Document().RecordSet() == nullptr)
        return nullptr;
    return v;
}

QString PdfName(const CTesseraDoc& doc) {
    const QFileInfo info(doc.PathName());
    return doc.PathName().isEmpty()
               ? doc.Title() + QStringLiteral(".pdf")
               : info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

// A string-table text as the UTF-8 a row holds; kept for the program's life.
const char* BackupText(int id) {
    static std::map<int, std::string> texts;
    auto it = texts.find(id);
    if (it == texts.end())
        it = texts.emplace(id, Cp932ToQString(LoadString(id)).toStdString()).first;
    return it->second.c_str();
}

// The string ids of each command's prompt, "status-bar hint\ntool tip". The menu text is
// the string of the command's own id.
constexpr struct {
    int command;
    int prompt;
} kCommandPrompts[] = {
    {ID_FILE_NEW, 9620},
    {ID_FILE_OPEN, 9621},
    {ID_FILE_CLOSE, 9622},
    {ID_FILE_SAVE, 9623},
    {ID_FILE_SAVE_AS, 9624},
    {ID_SEND_TO_DEVICE, 9625},
    {ID_RECEIVE_FROM_DEVICE, 9626},
    {ID_ADDIN_TRANSFER, 9627},
    {ID_FILE_IMPORT, 9628},
    {ID_FILE_EXPORT, 9629},
    {ID_FILE_SEND_MAIL, 9630},
    {ID_APP_EXIT, 9631},
    {ID_EDIT_UNDO, 9632},
    {ID_EDIT_REDO, 9633},
    {ID_EDIT_CUT, 9634},
    {ID_EDIT_COPY, 9635},
    {ID_EDIT_PASTE, 9636},
    {ID_VIEW_TOOLBAR, 9637},
    {ID_VIEW_STATUS_BAR, 9638},
    {ID_VIEW_REFRESH, 9639},
    {ID_RECORD_ADD, 9640},
    {ID_RECORD_INSERT, 9641},
    {ID_RECORD_DELETE, 9642},
    {ID_RECORD_SEND, 9643},
    {ID_RECORD_PROPERTIES, 9644},
    {ID_OPTION_SETTINGS, 9645},
    {ID_OPTION_FILTERS, 9646},
    {ID_WINDOW_NEW, 9647},
    {ID_WINDOW_CASCADE, 9648},
    {ID_WINDOW_TILE_HORZ, 9649},
    {ID_WINDOW_ARRANGE, 9650},
    {ID_HELP_INDEX, 9651},
    {ID_HELP_WEB1, 9652},
    {ID_HELP_WEB2, 9653},
    {ID_HELP_WEB3, 9654},
    {ID_HELP_WEB4, 9655},
    {ID_APP_ABOUT, 9656},
    {ID_HELP_CONTEXT, 9657},
    {ID_EDIT_FIND, 9660},
    {ID_EDIT_SELECT_ALL, 9661},
    {ID_FILE_PRINT, 9662},
    {ID_FILE_PRINT_PREVIEW, 9663},
    {ID_FILE_EXPORT_PDF, 9664},
    {ID_WINDOW_NEXT, 9665},
    {ID_WINDOW_PREVIOUS, 9666},
    {ID_FILE_PUBLISH, 9667},
};

} // namespace

int CommandPromptId(int command) {
    for (const auto& p : kCommandPrompts)
        if (p.command == command)
            return p.prompt;
    return 0;
}

int CommandMenuTextId(int command) {
    // The help key has no menu item of its own and so no text under its id.
    return command == ID_HELP_CONTEXT ? ids::kStrHelpCommand : command;
}

CommandTable MainCommandTable(CMainFrame& f) {
    return {
        {ID_FILE_NEW, "", "Ctrl+N", "new", "", "", Always(), [&f] { f.NewDocument(); }},
        {ID_FILE_OPEN, "", "Ctrl+O", "open", "", "", Always(), [&f] { f.OnFileOpen(); }},
        {ID_FILE_CLOSE, "", "Ctrl+F4", nullptr, "", "",
         [&f] { return Enabled(f.ActiveDocument() != nullptr); },
         [&f] { f.CloseActiveDocument(); }},
        {ID_FILE_SAVE, "", "Ctrl+S", "save", "", "", DocState(f, ID_FILE_SAVE),
         DocRun(f, ID_FILE_SAVE)},
        {ID_FILE_SAVE_AS, "", "", nullptr, "", "", DocState(f, ID_FILE_SAVE_AS),
         DocRun(f, ID_FILE_SAVE_AS)},
        {ID_SEND_TO_DEVICE, "", "", "send", "", "", ViewState(f, ID_SEND_TO_DEVICE),
         ViewRun(f, ID_SEND_TO_DEVICE)},
        {ID_RECEIVE_FROM_DEVICE, "", "", "receive", "", "", ViewState(f, ID_RECEIVE_FROM_DEVICE),
         ViewRun(f, ID_RECEIVE_FROM_DEVICE)},
        {ID_ADDIN_TRANSFER, "", "", "addin", "", "",
         // The add-in transfer needs a model that takes add-ins, and the line to itself.
         [&f] { return Enabled(f.App().Settings().ModelCode() >= 2 && !f.App().IsBusy()); },
         [&f] { RunAddInCommand(f.App(), f.RecordCommands(), &f); }},
        {ID_FILE_IMPORT, "", "", nullptr, "", "",
         [&f] {
             return Enabled(f.ActiveView() != nullptr &&
                            ImportEnabled(f.App().Settings(), *f.ActiveDocument()));
         },
         [&f] {
             if (CTesseraView* v = f.ActiveView())
                 RunImportCommand(v->Document(), f.App().Settings(), v, CFilterBusyDlg::Waiter(&f));
         },
         true},
        {ID_FILE_EXPORT, "", "", nullptr, "", "",
         [&f] {
             return Enabled(f.ActiveView() != nullptr &&
                            ExportEnabled(f.App().Settings(), *f.ActiveDocument()));
         },
         [&f] {
             if (CTesseraView* v = f.ActiveView())
                 RunExportCommand(v->Document(), f.App().Settings(), v, CFilterBusyDlg::Waiter(&f));
         },
         true},
        // ---- publishing to a contacts and calendar server ----
        {ID_FILE_PUBLISH, "", "", nullptr, "", "", [&f] { return Enabled(!f.App().IsBusy()); },
         [&f] { RunPublishCommand(f.ActiveDocument(), f.App().CodeMap(), &f); },
         true}, // reads the active document's records: not while a receive fills them
        // ----
        {ID_FILE_SEND_MAIL, "", "", nullptr, "", "",
         // A document without records (a receive that brought none) has nothing to send.
         [&f] {
             CommandState s = DocState(f, ID_FILE_SEND_MAIL)();
             const CTesseraDoc* doc = f.ActiveDocument();
             s.enabled = s.enabled && doc != nullptr && doc->RecordSet() != nullptr &&
                         doc->RecordSet()->RecordCount() > 0;
             return s;
         },
         DocRun(f, ID_FILE_SEND_MAIL), true},
        {ID_APP_EXIT, "", "", nullptr, "", "", [&f] { return Enabled(!f.App().IsBusy()); },
         [&f] { f.close(); }},
        {ID_EDIT_UNDO, "", "Ctrl+Z;Alt+Backspace", "undo", "", "", DocState(f, ID_EDIT_UNDO),
         DocRun(f, ID_EDIT_UNDO)},
        {ID_EDIT_REDO, "", "Ctrl+Y;Ctrl+Shift+Z", "redo", "", "", DocState(f, ID_EDIT_REDO),
         DocRun(f, ID_EDIT_REDO)},
        {ID_EDIT_CUT, "", "Ctrl+X;Shift+Del", "cut", "", "", ViewState(f, ID_EDIT_CUT),
         ViewRun(f, ID_EDIT_CUT)},
        {ID_EDIT_COPY, "", "Ctrl+C;Ctrl+Ins", "copy", "", "", ViewState(f, ID_EDIT_COPY),
         ViewRun(f, ID_EDIT_COPY)},
        {ID_EDIT_PASTE, "", "Ctrl+V;Shift+Ins", "paste", "", "", ViewState(f, ID_EDIT_PASTE),
         ViewRun(f, ID_EDIT_PASTE)},
        // ---- finding, selecting all and printing the table
        {ID_EDIT_FIND, "", "Ctrl+F", nullptr, "", "",
         [&f] { return Enabled(f.ActiveChild() != nullptr); },
         [&f] {
             if (CChildFrame* child = f.ActiveChild())
                 child->FindBar()->Activate();
         }},
        {ID_EDIT_SELECT_ALL, "", "Ctrl+A", nullptr, "", "", ViewState(f, ID_EDIT_SELECT_ALL),
         ViewRun(f, ID_EDIT_SELECT_ALL)},
        {ID_FILE_PRINT, "", "Ctrl+P", nullptr, "", "",
         [&f] { return Enabled(PrintableView(f) != nullptr); },
         [&f] {
             if (CTesseraView* v = PrintableView(f))
                 PrintTableWithDialog(&f, v->PrintTable());
         }},
        {ID_FILE_PRINT_PREVIEW, "", "", nullptr, "", "",
         [&f] { return Enabled(PrintableView(f) != nullptr); },
         [&f] {
             if (CTesseraView* v = PrintableView(f))
                 PreviewTable(&f, v->PrintTable());
         }},
        {ID_FILE_EXPORT_PDF, "", "", nullptr, "", "",
         [&f] { return Enabled(PrintableView(f) != nullptr); },
         [&f] {
             if (CTesseraView* v = PrintableView(f))
                 ExportTablePdf(&f, v->PrintTable(), PdfName(v->Document()));
         }},
        // ---- end of finding and printing
        {ID_VIEW_TOOLBAR, "", "", nullptr, "", "",
         [&f] { return Checked(f.ToolBar()->isVisibleTo(&f)); },
         [&f] { f.ToolBar()->setVisible(!f.ToolBar()->isVisibleTo(&f)); }},
        {ID_VIEW_STATUS_BAR, "", "", nullptr, "", "",
         [&f] { return Checked(f.statusBar()->isVisibleTo(&f)); },
         [&f] { f.statusBar()->setVisible(!f.statusBar()->isVisibleTo(&f)); }},
        {ID_VIEW_REFRESH, "", "", nullptr, "", "", ViewState(f, ID_VIEW_REFRESH),
         ViewRun(f, ID_VIEW_REFRESH)},
        {ID_RECORD_ADD, "", "", "addrecord", "", "", ViewState(f, ID_RECORD_ADD),
         ViewRun(f, ID_RECORD_ADD)},
        {ID_RECORD_INSERT, "", "Ins", nullptr, "", "", ViewState(f, ID_RECORD_INSERT),
         ViewRun(f, ID_RECORD_INSERT)},
        {ID_RECORD_DELETE, "", "Del", "deleterecord", "", "", ViewState(f, ID_RECORD_DELETE),
         ViewRun(f, ID_RECORD_DELETE)},
        {ID_RECORD_SEND, "", "", nullptr, "", "", ViewState(f, ID_RECORD_SEND),
         ViewRun(f, ID_RECORD_SEND)},
        {ID_RECORD_PROPERTIES, "", "Return;Enter", "properties", "", "",
         ViewState(f, ID_RECORD_PROPERTIES), ViewRun(f, ID_RECORD_PROPERTIES)},
        {ID_OPTION_SETTINGS, "", "", nullptr, "", "", Always(),
         [&f] { f.App().RunSettingsSheet(); }},
        {ID_OPTION_FILTERS, "", "", nullptr, "", "", Always(),
         [&f] {
             CFilterSetDlg dlg(f.App().Settings(), QApplication::activeWindow());
             dlg.exec();
         }},
        {ID_WINDOW_NEW, "", "", nullptr, "", "",
         [&f] { return Enabled(f.ActiveDocument() != nullptr); }, [&f] { f.NewWindow(); }},
        {ID_WINDOW_CASCADE, "", "", nullptr, "", "",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.CascadeWindows(); }},
        {ID_WINDOW_NEXT, "", "Ctrl+F6", nullptr, "", "",
         [&f] { return Enabled(f.MdiArea()->subWindowList().size() > 1); },
         [&f] { f.ActivateNextWindow(true); }},
        {ID_WINDOW_PREVIOUS, "", "Ctrl+Shift+F6", nullptr, "", "",
         [&f] { return Enabled(f.MdiArea()->subWindowList().size() > 1); },
         [&f] { f.ActivateNextWindow(false); }},
        {ID_WINDOW_TILE_HORZ, "", "", nullptr, "", "",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.MdiArea()->tileSubWindows(); }},
        {ID_WINDOW_ARRANGE, "", "", nullptr, "", "",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.ArrangeIcons(); }},
        {ID_HELP_INDEX, "", "", "help", "", "", Always(), [&f] { f.ShowHelpContents(); }},
        {ID_HELP_WEB1, "", "", nullptr, "", "", Always(), [&f] { f.OpenWebPage(ID_HELP_WEB1); }},
        {ID_HELP_WEB2, "", "", nullptr, "", "", Always(), [&f] { f.OpenWebPage(ID_HELP_WEB2); }},
        {ID_HELP_WEB3, "", "", nullptr, "", "", Always(), [&f] { f.OpenWebPage(ID_HELP_WEB3); }},
        {ID_HELP_WEB4, "", "", nullptr, "", "", Always(), [&f] { f.OpenWebPage(ID_HELP_WEB4); }},
        {ID_APP_ABOUT, "", "", "about", "", "", Always(), [&f] { f.ShowAbout(); }},
        {ID_HELP_CONTEXT, "", "F1", nullptr, "", "", Always(), [&f] { f.ShowContextHelp(); }},
        // ---- backup in one sitting and the export bundle (their menu texts are the
        // string-table entries of their ids) ----
        {ID_FILE_BACKUP, "", "", "receive", BackupText(ids::kStrBackupTitle),
         BackupText(ids::kStrBackupMenuHint),
         // The sitting needs the line to itself.
         [&f] { return Enabled(!f.App().IsBusy()); }, [&f] { CBackupDlg::Run(f); }},
        {ID_FILE_EXPORT_BUNDLE, "", "", nullptr, BackupText(ids::kStrBundleTitle),
         BackupText(ids::kStrBundleMenuHint), Always(), [&f] { CBundleDlg::Run(f); }},
        // ---- end of the backup block ----
    };
}

} // namespace tessera
