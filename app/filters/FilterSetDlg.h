#pragma once
// "フィルタの登録": the list of registered filter programs with Add, Delete and Edit. Every
// change reaches the settings store at once, and `Installed` follows the list.

#include "base/AppSettings.h"

#include <QDialog>
#include <functional>

QT_BEGIN_NAMESPACE
class QListWidget;
class QPushButton;
QT_END_NAMESPACE

namespace tessera {

class CFilterSetDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 185;

    explicit CFilterSetDlg(CAppSettings& settings, QWidget* parent = nullptr);

    // How the program dialog is run for Add and Edit: returns true on OK with the
    // registration in `filter`. Tests replace it; the default runs CFilterProgDlg.
    using ProgramEditor = std::function<bool(QWidget* parent, FilterProgram& filter, bool editing)>;
    static void SetProgramEditor(ProgramEditor editor);

    void Add();
    void Edit();
    void Delete();

    QListWidget* List() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* EditButton() const { return m_edit; }

private:
    void Fill();
    void UpdateButtons();
    // The selected entry's name, empty when none is selected.
    QString SelectedName() const;

    CAppSettings& m_settings;
    QListWidget* m_list = nullptr;   // 1204
    QPushButton* m_add = nullptr;    // 1205
    QPushButton* m_delete = nullptr; // 1206
    QPushButton* m_edit = nullptr;   // 1207
};

} // namespace tessera

namespace tessera {

// Registers the bundled filters on first start. Called once at start-up, after the settings
// are loaded; the filter commands themselves are rows of the main window's command table.
void InstallFilterCommands(CAppSettings& settings);

} // namespace tessera
