#pragma once
// The about box: program name with the platform it runs on, version and build, and the
// tone-dial module's version when one is present.

#include <QDialog>

class QLabel;

namespace tessera {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static constexpr int kDialogId = 100;

    // "Tessera for Linux", "Tessera for Windows", ... from the running system.
    static QString TitleLine();
    // "Version 1.0.0 (Build 1)".
    static QString VersionLine();
    // The tone-dial module's "major.minor", or empty when none is installed.
    static QString ToneDialLine();
    // Operating system and toolkit, for support questions.
    static QString PlatformLine();

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

} // namespace tessera
