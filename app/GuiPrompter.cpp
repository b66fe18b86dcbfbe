#include "app/GuiPrompter.h"

#include "base/Cp932.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace tessera {

namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Stop:
        return QMessageBox::Critical;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QList<QMessageBox::StandardButton> BoxButtons(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::Ok:
        return {QMessageBox::Ok};
    case PromptButtons::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel};
    case PromptButtons::YesNo:
        return {QMessageBox::Yes, QMessageBox::No};
    case PromptButtons::YesNoCancel:
        return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case PromptButtons::AbortRetryIgnore:
        return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case PromptButtons::RetryCancel:
        return {QMessageBox::Retry, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok};
}

PromptResult ToResult(int button, PromptButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return PromptResult::Ok;
    case QMessageBox::Cancel:
        return PromptResult::Cancel;
    case QMessageBox::Yes:
        return PromptResult::Yes;
    case QMessageBox::No:
        return PromptResult::No;
    case QMessageBox::Abort:
        return PromptResult::Abort;
    case QMessageBox::Retry:
        return PromptResult::Retry;
    case QMessageBox::Ignore:
        return PromptResult::Ignore;
    default:
        break;
    }
    // Closing the box with Escape or the title bar: the cancelling answer of the set.
    switch (buttons) {
    case PromptButtons::Ok:
        return PromptResult::Ok;
    case PromptButtons::YesNo:
        return PromptResult::No;
    case PromptButtons::AbortRetryIgnore:
        return PromptResult::Abort;
    default:
        return PromptResult::Cancel;
    }
}

} // namespace

CGuiPrompter::CGuiPrompter(QObject* parent) : QObject(parent) {}

bool CGuiPrompter::DefaultsToSecondButton(int id) {
    // Questions whose first answer loses something: a stray Enter must not take it.
    switch (id) {
    case 1078:  // ignore every further bad value of the read
    case 3074:  // delete the registered filter
    case 3081:  // overwrite the existing export file
    case 61722: // cancel the transfer running in the window being closed
    case 9601:  // save over a file that was read only in part
        return true;
    default:
        // Every other question keeps its first button: OK to go on with what the user
        // chose just now (send, receive, delete the selected records), Yes to save.
        return false;
    }
}

PromptResult CGuiPrompter::Show(int id, const std::string& text, PromptIcon icon,
                                PromptButtons buttons) {
    return ShowWithDetails(id, text, icon, buttons, {});
}

PromptResult CGuiPrompter::ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                           PromptButtons buttons, const std::string& detailsUtf8) {
    const QString qtext = Cp932ToQString(text);
    const QString details = QString::fromStdString(detailsUtf8);
    int answer = 0;
    if (QThread::currentThread() == thread()) {
        answer =
            ShowOnGuiThread(id, qtext, static_cast<int>(icon), static_cast<int>(buttons), details);
    } else {
        QMetaObject::invokeMethod(this, "ShowOnGuiThread", Qt::BlockingQueuedConnection,
                                  Q_RETURN_ARG(int, answer), Q_ARG(int, id), Q_ARG(QString, qtext),
                                  Q_ARG(int, static_cast<int>(icon)),
                                  Q_ARG(int, static_cast<int>(buttons)), Q_ARG(QString, details));
    }
    return ToResult(answer, buttons);
}

int CGuiPrompter::ShowOnGuiThread(int id, const QString& text, int icon, int buttons,
                                  const QString& details) {
    QWidget* parent = m_parent ? m_parent.data() : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(Cp932ToQString(LoadString(57344)).isEmpty()
                           ? QStringLiteral("Tessera")
                           : Cp932ToQString(LoadString(57344)));
    box.setText(text);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.setIcon(BoxIcon(static_cast<PromptIcon>(icon)));
    const auto list = BoxButtons(static_cast<PromptButtons>(buttons));
    QMessageBox::StandardButtons set;
    for (auto b : list)
        set |= b;
    box.setStandardButtons(set);
    const int defaultIndex = (DefaultsToSecondButton(id) && list.size() > 1) ? 1 : 0;
    box.setDefaultButton(list[defaultIndex]);
    return box.exec();
}

} // namespace tessera
