#pragma once
// "アドインの概要": shows an add-in's document before it is sent, with OK to go on and
// "キャンセル" to stop.

#include <QDialog>

class QPlainTextEdit;

namespace tessera {

class CShowDocDlg : public QDialog {
    Q_OBJECT
public:
    explicit CShowDocDlg(const QString& text, QWidget* parent = nullptr);
    QPlainTextEdit* TextBox() const { return m_text; }

private:
    QPlainTextEdit* m_text = nullptr;
};

} // namespace tessera
