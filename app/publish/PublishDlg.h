#pragma once
// ファイル → サーバーへ公開: where to publish (the server's URL and the user), the password,
// and what (the open document or a backup folder). The URL, user name and folder are kept
// in the settings; the password only in the desktop's secret store, when the user asks.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessera {

struct PublishChoice {
    QString url;
    QString user;
    QString password;
    bool remember = false; // keep the password in the secret store
    bool useDocument = true;
    QString folder;
    bool deleteMissing = false;
};

class CPublishDlg : public QDialog {
public:
    // `document`: the open document's title, empty when none is open (then only a folder).
    // `storeProblem`: why the secret store cannot be used, empty when it can.
    CPublishDlg(const PublishChoice& initial, const QString& document, const QString& storeProblem,
                QWidget* parent = nullptr);

    PublishChoice Choice() const;

    // The settings' part of a choice (no password), read and written.
    static PublishChoice LoadChoice();
    static void SaveChoice(const PublishChoice& choice);

private:
    void UpdateOk();

    QLineEdit* m_url = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    QRadioButton* m_document = nullptr;
    QRadioButton* m_folderChoice = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QCheckBox* m_deleteMissing = nullptr;
    QPushButton* m_ok = nullptr;
};

// True for an http(s) URL with a host.
bool IsPublishUrl(const QString& text);

} // namespace tessera
