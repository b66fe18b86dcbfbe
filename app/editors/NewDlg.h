#pragma once
// "新規作成": asks which kind of records a document without a kind is to hold, before its
// first record is added. The eight kinds are listed in the device's menu order.

#include <QDialog>

class QListWidget;

namespace tessera {

class CNewDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNewDlg(QWidget* parent = nullptr);

    // The chosen entry 0..7 (kNewDocumentKinds gives its kind).
    int Choice() const;
    void SetChoice(int choice);
    QListWidget* List() const { return m_list; }

    // Runs the dialog with the first entry preset: the choice, or -1 for Cancel.
    static int Choose(QWidget* parent);

private:
    QListWidget* m_list = nullptr;
};

} // namespace tessera
