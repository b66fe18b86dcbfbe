#pragma once
// The find bar above a document window's table: what the user types filters the table as
// they type (CTesseraView::SetFilterText); Esc clears it and goes back to the table.

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tessera {

class CTesseraView;

class CFindBar : public QWidget {
    Q_OBJECT
public:
    explicit CFindBar(CTesseraView& view, QWidget* parent = nullptr);

    QLineEdit* Edit() const { return m_edit; }
    // Puts the cursor into the field with its text selected (Edit > Find).
    void Activate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowCount();

    CTesseraView& m_view;
    QLineEdit* m_edit = nullptr;
    QLabel* m_count = nullptr;
};

} // namespace tessera
