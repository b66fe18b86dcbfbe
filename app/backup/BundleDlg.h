#pragma once
// File → 標準形式で書き出し: the open documents, or the .tsr files of a folder (a backup
// folder), written as the export bundle (contacts.vcf, calendar.ics, csv/, memos/, reports/)
// into an output folder; a message says how it went, with the notes in its details.

#include <QDialog>
#include <QString>

class QLineEdit;
class QRadioButton;

namespace tessera {

class CMainFrame;

class CBundleDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CBundleDlg(CMainFrame& frame);

    // The menu command.
    static void Run(CMainFrame& frame);

    void SetFromFolder(const QString& folder); // chooses the folder source
    void SetOutput(const QString& folder);
    // Writes the bundle as chosen and shows the outcome; the number of files written.
    int Export();

protected:
    void accept() override;

private:
    CMainFrame& m_frame;
    QRadioButton* m_documents = nullptr;
    QRadioButton* m_folder = nullptr;
    QLineEdit* m_folderPath = nullptr;
    QLineEdit* m_output = nullptr;
};

} // namespace tessera
