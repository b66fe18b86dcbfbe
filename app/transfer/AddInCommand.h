#pragma once
// The add-in command "アドインの転送(&I)..." of the main window, and the installation of the
// commands that need the application's parts: the record commands of the document windows
// (editors, the kind chooser, the progress windows, the link settings, the busy flag) and
// the add-in command.

#include <QString>

#include <functional>

class QWidget;

namespace tessera {

class CTesseraApp;

// Installs the record commands' hooks (the add-in command is a row of the main window's table).
void InstallAppCommands(CTesseraApp& app);

// The add-in command's file dialog; tests replace it. Empty = the user cancelled.
using AddInFileDialog = std::function<QString(QWidget* parent)>;
void SetAddInFileDialog(AddInFileDialog dialog);

// Runs the add-in command: file dialog, ZRS file, overview, confirmation 3092 and the
// transfer behind its progress window. True when the transfer started.
bool RunAddInCommand(CTesseraApp& app, QWidget* parent);

// The overview text of an add-in document (code page 932, CR LF lines) as the window shows it.
QString AddInOverviewText(const std::string& document);

} // namespace tessera
