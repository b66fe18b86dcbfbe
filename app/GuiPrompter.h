#pragma once
// The window program's prompter: every message becomes a QMessageBox with Japanese
// standard buttons. Messages raised on a worker thread are shown by the GUI thread while
// the worker waits for the answer.

#include "model/Prompter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tessera {

class CGuiPrompter : public QObject, public Prompter {
    Q_OBJECT
public:
    explicit CGuiPrompter(QObject* parent = nullptr);

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override;
    // The details go into the box's detail text ("Show Details...").
    PromptResult ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                 PromptButtons buttons, const std::string& detailsUtf8) override;

    // Parent window of the boxes; the active window when unset.
    void SetParentWidget(QWidget* w) { m_parent = w; }

    // Message ids whose default button is the second one (No or Cancel).
    static bool DefaultsToSecondButton(int id);

private:
    Q_INVOKABLE int ShowOnGuiThread(int id, const QString& text, int icon, int buttons,
                                    const QString& details);

    QPointer<QWidget> m_parent;
};

} // namespace tessera
