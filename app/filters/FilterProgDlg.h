#pragma once
// "フィルタプログラムの設定": the name, handled extension and program of one filter, for a
// new filter or an existing one (whose name then cannot change).

#include "base/AppSettings.h"

#include <QDialog>
#include <QString>
#include <functional>

QT_BEGIN_NAMESPACE
class QLineEdit;
class QPushButton;
QT_END_NAMESPACE

namespace tessera {

class CFilterProgDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 186;
    static constexpr int kNameLimit = 30;
    static constexpr int kExtensionLimit = 256;
    static constexpr int kProgramLimit = 256;

    // `editing`: the filter exists and `filter.name` is kept.
    CFilterProgDlg(const FilterProgram& filter, bool editing, QWidget* parent = nullptr);

    // The registration the fields hold now; bPerlScript follows the program's extension.
    FilterProgram Filter() const;
    bool IsEditing() const { return m_editing; }

    // Checks the fields in the order the user learns to expect (name, extension, program)
    // and shows the first refusal; true when the dialog may close with OK.
    bool Validate();

    // The program chooser of Browse: gets the current path, returns the chosen one (empty
    // when cancelled). Tests replace it; the default is the open-file dialog.
    using ProgramChooser = std::function<QString(QWidget* parent, const QString& current)>;
    static void SetProgramChooser(ProgramChooser chooser);

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* ExtensionEdit() const { return m_extension; }
    QLineEdit* ProgramEdit() const { return m_program; }
    QPushButton* BrowseButton() const { return m_browse; }

    void accept() override;

private:
    void Browse();

    bool m_editing;
    QLineEdit* m_extension = nullptr; // 1214
    QLineEdit* m_name = nullptr;      // 1208
    QLineEdit* m_program = nullptr;   // 1209
    QPushButton* m_browse = nullptr;  // 1210
};

} // namespace tessera
