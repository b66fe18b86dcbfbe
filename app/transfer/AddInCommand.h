#pragma once
// The add-in command "アドインの転送(&I)..." of the main window, and the program's host of
// the record commands (editors, the kind chooser, the progress windows, the link settings,
// the busy flag).

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace tessera {

class CRecordCommandHost;
class CRecordCommands;
class CTesseraApp;

// The record commands' host for the window program.
std::unique_ptr<CRecordCommandHost> MakeRecordCommandHost(CTesseraApp& app);

// The add-in command's file dialog; tests replace it. Empty = the user cancelled.
using AddInFileDialog = std::function<QString(QWidget* parent)>;
void SetAddInFileDialog(AddInFileDialog dialog);

// Runs the add-in command: file dialog, ZRS file, overview, confirmation 3092 and the
// transfer behind its progress window. True when the transfer started.
bool RunAddInCommand(CTesseraApp& app, CRecordCommands& commands, QWidget* parent);

// The overview text of an add-in document (code page 932, CR LF lines) as the window shows it.
QString AddInOverviewText(const std::string& document);

} // namespace tessera
