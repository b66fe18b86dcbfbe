#pragma once
// A document: the records of one kind in one record set, kept in a "*.tsr" file whose
// bytes are exactly the record-set text form. Views show it; the main frame opens, saves
// and closes it.

#include "document/CommandTarget.h"
#include "document/UpdateHint.h"
#include "resources/StringIds.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <memory>

class QWidget;

namespace tessera {

class CDocHost;
class CRecordSet;
class CTesseraView;

// Message ids of the document that the record set does not already own.
enum DocMessage : int {
    kMsgAskToSave = 61709,                          // %s への変更を保存しますか?
    kMsgSavePartialFile = ids::kMsgSavePartialFile, // %s は途中までしか読み込まれて...
};

class CTesseraDoc : public QObject, public CCommandTarget {
    Q_OBJECT
public:
    static constexpr const char* kFileFilter = "TSR Data Files (*.tsr)";
    static constexpr const char* kDefaultSuffix = "tsr";
    static constexpr const char* kNewFileName = "TSR Data";

    explicit CTesseraDoc(CDocHost& host, QObject* parent = nullptr);
    ~CTesseraDoc() override;

    // A new empty document: kind 0, no fields, no records, titled "TSR Data<n>".
    bool OnNewDocument();
    // Reads `path` into a fresh record set. False when the file cannot be read or its text
    // is refused; the messages have been shown and the document holds no record set.
    bool OnOpenDocument(const QString& path);
    // Writes the text form to `path` through a temporary file that replaces the old file
    // only once complete, so a failed save leaves the previous file whole.
    bool OnSaveDocument(const QString& path);

    // Save (`path` empty asks for a name, as Save As does). True when saved.
    bool DoSave(const QString& path, QWidget* dialogParent = nullptr);
    bool DoFileSave(QWidget* dialogParent = nullptr);
    // The save-before-close question; true when the document may be closed.
    bool SaveModified(QWidget* dialogParent = nullptr);

    // Loads a text-form file produced by a receive into the current record set.
    bool LoadReceivedText(const QString& path);
    // The load step shared by open and receive: `bytes` (with or without its end mark) is
    // read into the record set (a new one when there is none).
    bool LoadText(const QByteArray& bytes);

    // Empties the document: no record set, no undo history (the modified flag stays).
    void DeleteContents();
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true);

    // What becomes of the undo history when the record set is replaced.
    enum class UndoHistory {
        Drop, // the set is gone for good: nothing in the history applies any more
        Keep, // the set is only put aside and comes back (a receive that fails)
    };
    CRecordSet* RecordSet() const { return m_recordSet.get(); }
    void SetRecordSet(std::unique_ptr<CRecordSet> set, UndoHistory history = UndoHistory::Drop);
    // Hands the set over and leaves none; the history stays for the set's return.
    std::unique_ptr<CRecordSet> TakeRecordSet();

    // The record changes made in this document, for Edit > Undo and Redo. The modified flag
    // follows its clean state.
    QUndoStack& UndoStack() { return m_undo; }
    const QUndoStack& UndoStack() const { return m_undo; }
    // True when undo or redo may run now: there is a step, and no receive holds the document.
    bool CanUndo() const;
    bool CanRedo() const;

    const QString& PathName() const { return m_path; }
    void SetPathName(const QString& path, bool addToRecent = true);
    const QString& Title() const { return m_title; }
    void SetTitle(const QString& title);

    CDocHost& Host() const { return m_host; }

    // The views showing this document, in the order they were opened.
    const QList<CTesseraView*>& Views() const { return m_views; }
    void AddView(CTesseraView* view);
    void RemoveView(CTesseraView* view);
    // Set once the user agreed to close: the views close without asking again.
    bool IsClosing() const { return m_closing; }
    void SetClosing(bool closing) { m_closing = closing; }

    // Tells every view of the document to update (`sender` is left out).
    void UpdateAllViews(QObject* sender, int hint, const CUpdateWindow* window = nullptr);

    // The name the Save As dialog proposes.
    QString SuggestedFileName() const;
    // The name the user gave, with ".tsr" added when it has no suffix.
    static QString WithDefaultSuffix(const QString& path);

    // Sending by e-mail needs the desktop's mail handler.
    static QString MailProgram();
    bool SendMail();

    bool UpdateCommand(int id, CommandState& state) override;
    bool RunCommand(int id) override;

signals:
    void Updated(QObject* sender, int hint, const tessera::CUpdateWindow* window);
    void TitleChanged(const QString& title);
    void ModifiedChanged(bool modified);
    // A view opened or closed; after the last one the document goes.
    void ViewsChanged();
    void LastViewClosed();
    // The undo history was dropped or reset without the undo stack saying so.
    void UndoStateChanged();

private:
    void ReplaceRecordSet(std::unique_ptr<CRecordSet> set);
    void DropUndoHistory();

    CDocHost& m_host;
    std::unique_ptr<CRecordSet> m_recordSet;
    QString m_path;
    QString m_title;
    bool m_modified = false;
    bool m_closing = false;
    bool m_partial = false; // the file at m_path was read only in part: saving over it asks
    QList<CTesseraView*> m_views;
    QUndoStack m_undo;
};

} // namespace tessera
