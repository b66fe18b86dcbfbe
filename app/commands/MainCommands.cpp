// The main window's command table. Adding a menu command is one row here (and its place in
// a menu or the toolbar in MainFrame.cpp); nothing else registers anything.

#include "app/commands/MainCommands.h"

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/filters/FilterBusyDlg.h"
#include "app/filters/FilterSetDlg.h"
#include "app/publish/PublishCommand.h"
#include "app/transfer/AddInCommand.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/FilterCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"

#include <QApplication>
#include <QMdiArea>
#include <QStatusBar>
#include <QToolBar>

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

} // namespace

CommandTable MainCommandTable(CMainFrame& f) {
    return {
        {ID_FILE_NEW, "新規作成(&N)\tCtrl+N", "Ctrl+N", "new", "新規作成",
         "新しいドキュメントを作成します", Always(), [&f] { f.NewDocument(); }},
        {ID_FILE_OPEN, "開く(&O)...\tCtrl+O", "Ctrl+O", "open", "開く",
         "既存のドキュメントを開きます", Always(), [&f] { f.OnFileOpen(); }},
        {ID_FILE_CLOSE, "閉じる(&C)", "", nullptr, "閉じる", "作業中のドキュメントを閉じます",
         [&f] { return Enabled(f.ActiveDocument() != nullptr); },
         [&f] { f.CloseActiveDocument(); }},
        {ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S", "Ctrl+S", "save", "上書き保存",
         "作業中のドキュメントを上書きして保存します", DocState(f, ID_FILE_SAVE),
         DocRun(f, ID_FILE_SAVE)},
        {ID_FILE_SAVE_AS, "名前を付けて保存(&A)...", "", nullptr, "名前を付けて保存",
         "作業中のドキュメントに名前を付けて保存します", DocState(f, ID_FILE_SAVE_AS),
         DocRun(f, ID_FILE_SAVE_AS)},
        {ID_SEND_TO_DEVICE, "ザウルスへ送信(&T)...", "", "send", "ザウルスへ送信",
         "ドキュメントの全レコードをザウルスへ送信します", ViewState(f, ID_SEND_TO_DEVICE),
         ViewRun(f, ID_SEND_TO_DEVICE)},
        {ID_RECEIVE_FROM_DEVICE, "ザウルスから受信(&G)...", "", "receive", "ザウルスから受信",
         "ザウルスからレコードを受信してドキュメントに読み込みます",
         ViewState(f, ID_RECEIVE_FROM_DEVICE), ViewRun(f, ID_RECEIVE_FROM_DEVICE)},
        {ID_ADDIN_TRANSFER, "アドインの転送(&I)...", "", "addin", "アドインの転送",
         "アドインプログラムをザウルスへ転送します",
         // The add-in transfer needs a model that takes add-ins, and the line to itself.
         [&f] { return Enabled(f.App().Settings().ModelCode() >= 2 && !f.App().IsBusy()); },
         [&f] { RunAddInCommand(f.App(), f.RecordCommands(), &f); }},
        {ID_FILE_IMPORT, "インポート(&M)...", "", nullptr, "インポート",
         "他の形式のファイルをフィルタプログラムで読み込みます",
         [&f] {
             return Enabled(f.ActiveView() != nullptr &&
                            ImportEnabled(f.App().Settings(), *f.ActiveDocument()));
         },
         [&f] {
             if (CTesseraView* v = f.ActiveView())
                 RunImportCommand(v->Document(), f.App().Settings(), v, CFilterBusyDlg::Waiter(&f));
         },
         true},
        {ID_FILE_EXPORT, "エクスポート(&E)...", "", nullptr, "エクスポート",
         "ドキュメントをフィルタプログラムで他の形式のファイルに書き出します",
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
        {ID_FILE_PUBLISH, "サーバーへ公開(&W)...", "", nullptr, "サーバーへ公開",
         "電話帳・名刺・スケジュール・記念日・行動予定を CardDAV / CalDAV サーバーへ公開します",
         [&f] { return Enabled(!f.App().IsBusy()); },
         [&f] { RunPublishCommand(f.ActiveDocument(), f.App().CodeMap(), &f); },
         true}, // reads the active document's records: not while a receive fills them
        // ----
        {ID_FILE_SEND_MAIL, "送信(&D)...", "", nullptr, "メールで送信",
         "ドキュメントをメールに添付して送信します", DocState(f, ID_FILE_SEND_MAIL),
         DocRun(f, ID_FILE_SEND_MAIL)},
        {ID_APP_EXIT, "終了(&X)", "", nullptr, "終了", "アプリケーションを終了します",
         [&f] { return Enabled(!f.App().IsBusy()); }, [&f] { f.close(); }},
        {ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z", "Ctrl+Z", nullptr, "元に戻す",
         "直前のレコードの変更を取り消します", DocState(f, ID_EDIT_UNDO), DocRun(f, ID_EDIT_UNDO)},
        {ID_EDIT_REDO, "やり直し(&R)\tCtrl+Y", "Ctrl+Y;Ctrl+Shift+Z", nullptr, "やり直し",
         "取り消したレコードの変更をもう一度行います", DocState(f, ID_EDIT_REDO),
         DocRun(f, ID_EDIT_REDO)},
        {ID_EDIT_CUT, "切り取り(&T)\tCtrl+X", "Ctrl+X;Shift+Del", "cut", "切り取り",
         "選択したレコードを切り取ってクリップボードに移します", ViewState(f, ID_EDIT_CUT),
         ViewRun(f, ID_EDIT_CUT)},
        {ID_EDIT_COPY, "コピー(&C)\tCtrl+C", "Ctrl+C;Ctrl+Ins", "copy", "コピー",
         "選択したレコードをクリップボードにコピーします", ViewState(f, ID_EDIT_COPY),
         ViewRun(f, ID_EDIT_COPY)},
        {ID_EDIT_PASTE, "貼り付け(&P)\tCtrl+V", "Ctrl+V;Shift+Ins", "paste", "貼り付け",
         "クリップボードのレコードを貼り付けます", ViewState(f, ID_EDIT_PASTE),
         ViewRun(f, ID_EDIT_PASTE)},
        {ID_VIEW_TOOLBAR, "ツールバー(&T)", "", nullptr, "ツールバー",
         "ツールバーの表示/非表示を切り替えます",
         [&f] { return Checked(f.ToolBar()->isVisibleTo(&f)); },
         [&f] { f.ToolBar()->setVisible(!f.ToolBar()->isVisibleTo(&f)); }},
        {ID_VIEW_STATUS_BAR, "ステータスバー(&S)", "", nullptr, "ステータスバー",
         "ステータスバーの表示/非表示を切り替えます",
         [&f] { return Checked(f.statusBar()->isVisibleTo(&f)); },
         [&f] { f.statusBar()->setVisible(!f.statusBar()->isVisibleTo(&f)); }},
        {ID_VIEW_REFRESH, "最新の情報に更新(&R)", "", nullptr, "最新の情報に更新",
         "レコードの一覧を作り直して最新の状態にします", ViewState(f, ID_VIEW_REFRESH),
         ViewRun(f, ID_VIEW_REFRESH)},
        {ID_RECORD_ADD, "追加(&A)...", "", "addrecord", "レコードの追加",
         "新しいレコードを末尾に追加します", ViewState(f, ID_RECORD_ADD),
         ViewRun(f, ID_RECORD_ADD)},
        {ID_RECORD_INSERT, "挿入(&I)...\tIns", "Ins", nullptr, "レコードの挿入",
         "選択したレコードの前に新しいレコードを挿入します", ViewState(f, ID_RECORD_INSERT),
         ViewRun(f, ID_RECORD_INSERT)},
        {ID_RECORD_DELETE, "削除(&D)...\tDel", "Del", "deleterecord", "レコードの削除",
         "選択したレコードを削除します", ViewState(f, ID_RECORD_DELETE),
         ViewRun(f, ID_RECORD_DELETE)},
        {ID_RECORD_SEND, "送信(&S)...", "", nullptr, "選択したレコードの送信",
         "選択したレコードをザウルスへ送信します", ViewState(f, ID_RECORD_SEND),
         ViewRun(f, ID_RECORD_SEND)},
        {ID_RECORD_PROPERTIES, "プロパティ(&P)...\tEnter", "Return;Enter", "properties",
         "レコードのプロパティ", "選択したレコードの内容を表示して編集します",
         ViewState(f, ID_RECORD_PROPERTIES), ViewRun(f, ID_RECORD_PROPERTIES)},
        {ID_OPTION_SETTINGS, "環境設定(&E)...", "", nullptr, "環境設定",
         "通信ポート、編集、ファイル、機種、ダイアルの設定を変更します", Always(),
         [&f] { f.App().RunSettingsSheet(); }},
        {ID_OPTION_FILTERS, "フィルタ設定(&F)...", "", nullptr, "フィルタ設定",
         "インポートとエクスポートに使うフィルタプログラムを登録します", Always(),
         [&f] {
             CFilterSetDlg dlg(f.App().Settings(), QApplication::activeWindow());
             dlg.exec();
         }},
        {ID_WINDOW_NEW, "新しいウィンドウを開く(&N)", "", nullptr, "新しいウィンドウ",
         "作業中のドキュメントをもう一つのウィンドウで開きます",
         [&f] { return Enabled(f.ActiveDocument() != nullptr); }, [&f] { f.NewWindow(); }},
        {ID_WINDOW_CASCADE, "重ねて表示(&C)", "", nullptr, "重ねて表示",
         "ウィンドウを少しずつずらして重ねて表示します",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.MdiArea()->cascadeSubWindows(); }},
        {ID_WINDOW_TILE_HORZ, "並べて表示(&T)", "", nullptr, "並べて表示",
         "ウィンドウを重ならないように並べて表示します",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.MdiArea()->tileSubWindows(); }},
        {ID_WINDOW_ARRANGE, "アイコンの整列(&A)", "", nullptr, "アイコンの整列",
         "アイコン化したウィンドウをウィンドウの下端に整列します",
         [&f] { return Enabled(!f.MdiArea()->subWindowList().isEmpty()); },
         [&f] { f.ArrangeIcons(); }},
        {ID_HELP_INDEX, "目次(&C)", "", "help", "ヘルプの目次", "ヘルプの目次を表示します",
         Always(), [&f] { f.ShowHelpContents(); }},
        {ID_HELP_WEB1, "Tesseraのホームページ(&W)", "", nullptr, "Tessera のホームページ",
         "Tessera のホームページをブラウザで開きます", Always(),
         [&f] { f.OpenWebPage(ID_HELP_WEB1); }},
        {ID_HELP_WEB2, "ダウンロード(&L)", "", nullptr, "ダウンロード",
         "最新版のダウンロードページをブラウザで開きます", Always(),
         [&f] { f.OpenWebPage(ID_HELP_WEB2); }},
        {ID_HELP_WEB3, "よくある質問(&Q)", "", nullptr, "よくある質問",
         "よくある質問と答えのページをブラウザで開きます", Always(),
         [&f] { f.OpenWebPage(ID_HELP_WEB3); }},
        {ID_HELP_WEB4, "アドイン情報(&D)", "", nullptr, "アドイン情報",
         "アドインプログラムの情報ページをブラウザで開きます", Always(),
         [&f] { f.OpenWebPage(ID_HELP_WEB4); }},
        {ID_APP_ABOUT, "バージョン情報(&A)...", "", "about", "バージョン情報",
         "プログラムの名前、バージョン、動作環境を表示します", Always(), [&f] { f.ShowAbout(); }},
        {ID_HELP_CONTEXT, "ヘルプ", "F1", nullptr, "ヘルプ", "この画面のヘルプを表示します",
         Always(), [&f] { f.ShowContextHelp(); }},
    };
}

} // namespace tessera
