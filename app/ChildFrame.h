#pragma once
// A document window inside the main frame: one table view of one document. Closing the
// last window of a modified document asks whether to save it first.

#include <QMdiSubWindow>

namespace tessera {

class CFindBar;
class CTesseraDoc;
class CTesseraView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CTesseraDoc& doc, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CTesseraView* View() const { return m_view; }
    CTesseraDoc& Document() const { return m_doc; }
    // The find bar above the table (Edit > Find puts the cursor there).
    CFindBar* FindBar() const { return m_findBar; }

    // "name", or "name:2" when the document has more than one window; " *" follows while
    // the document has unsaved changes.
    void UpdateTitle();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    CTesseraDoc& m_doc;
    CTesseraView* m_view = nullptr;
    CFindBar* m_findBar = nullptr;
};

} // namespace tessera
