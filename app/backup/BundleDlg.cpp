#include "app/backup/BundleDlg.h"

#include "app/MainFrame.h"
#include "app/backup/BackupDlg.h"
#include "base/Cp932.h"
#include "bundle/ExportBundle.h"
#include "document/TesseraDoc.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

} // namespace

CBundleDlg::CBundleDlg(CMainFrame& frame) : QDialog(&frame), m_frame(frame) {
    setObjectName(QStringLiteral("CBundleDlg"));
    setWindowTitle(Text(ids::kStrBundleTitle));
    m_documents = new QRadioButton(Text(ids::kStrBundleDocuments), this);
    m_documents->setObjectName(QStringLiteral("documents"));
    m_folder = new QRadioButton(Text(ids::kStrBundleFolder), this);
    m_folder->setObjectName(QStringLiteral("fromFolder"));
    m_folderPath = new QLineEdit(this);
    m_folderPath->setObjectName(QStringLiteral("folderPath"));
    m_output = new QLineEdit(this);
    m_output->setObjectName(QStringLiteral("output"));
    auto* outputLabel = new QLabel(Text(ids::kStrBundleOutput), this);
    outputLabel->setBuddy(m_output);
    auto* browseIn = new QPushButton(Text(ids::kStrBundleBrowse), this);
    auto* browseOut = new QPushButton(Text(ids::kStrBundleBrowse), this);
    browseIn->setAutoDefault(false);
    browseOut->setAutoDefault(false);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_documents, 0, 0, 1, 3);
    grid->addWidget(m_folder, 1, 0);
    grid->addWidget(m_folderPath, 1, 1);
    grid->addWidget(browseIn, 1, 2);
    grid->addWidget(outputLabel, 2, 0);
    grid->addWidget(m_output, 2, 1);
    grid->addWidget(browseOut, 2, 2);
    grid->addWidget(box, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(560, sizeHint().height());

    const bool haveDocs = !frame.Documents().isEmpty();
    m_documents->setEnabled(haveDocs);
    (haveDocs ? m_documents : m_folder)->setChecked(true);
    const QString backup = CBackupDlg::DefaultFolder();
    m_folderPath->setText(
        QDir::toNativeSeparators(QFileInfo(backup).isDir() ? backup : QFileInfo(backup).path()));
    m_output->setText(QDir::toNativeSeparators(
        QDir(QFileInfo(backup).path())
            .filePath(QStringLiteral("export-") + QDate::currentDate().toString(Qt::ISODate))));

    const auto browse = [this](QLineEdit* edit, QRadioButton* select) {
        const QString dir = QFileDialog::getExistingDirectory(this, windowTitle(), edit->text());
        if (!dir.isEmpty()) {
            edit->setText(QDir::toNativeSeparators(dir));
            if (select)
                select->setChecked(true);
        }
    };
    connect(browseIn, &QPushButton::clicked, this,
            [this, browse] { browse(m_folderPath, m_folder); });
    connect(browseOut, &QPushButton::clicked, this, [this, browse] { browse(m_output, nullptr); });
    connect(box, &QDialogButtonBox::accepted, this, &CBundleDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CBundleDlg::reject);
}

void CBundleDlg::Run(CMainFrame& frame) {
    CBundleDlg dlg(frame);
    dlg.exec();
}

void CBundleDlg::SetFromFolder(const QString& folder) {
    m_folderPath->setText(folder);
    m_folder->setChecked(true);
}

void CBundleDlg::SetOutput(const QString& folder) {
    m_output->setText(folder);
}

void CBundleDlg::accept() {
    if (Export() >= 0)
        QDialog::accept();
}

int CBundleDlg::Export() {
    bundle::CExportBundle bundle;
    QStringList unreadable;
    if (m_documents->isChecked()) {
        for (CTesseraDoc* doc : m_frame.Documents()) {
            std::string text;
            QString why;
            const QString label = doc->PathName().isEmpty() ? doc->Title() : doc->PathName();
            if (doc->RecordSet() == nullptr || doc->RecordSet()->RecordCount() == 0)
                continue;
            if (!doc->RecordSet()->WriteTextToString(text) || !bundle.AddText(label, text, &why))
                unreadable << (why.isEmpty() ? label : why);
        }
    } else {
        bundle.AddFolder(QDir::fromNativeSeparators(m_folderPath->text()), &unreadable);
    }
    if (bundle.SourceCount() == 0) {
        ShowMessage(ids::kMsgBundleNothing, PromptIcon::Warning, PromptButtons::Ok);
        return -1;
    }
    const QString out = QDir::fromNativeSeparators(m_output->text().trimmed());
    if (out.isEmpty() || !QDir().mkpath(out)) {
        ShowMessage(ids::kMsgBackupNoFolder, PromptIcon::Stop, PromptButtons::Ok,
                    QStringToCp932Lossy(m_output->text()));
        return -1;
    }
    const bundle::BundleResult r = bundle.Write(out);
    QStringList details;
    for (const bundle::BundleFile& f : r.files)
        details << QStringLiteral("%1: %2").arg(f.path).arg(f.records);
    details += unreadable;
    details += r.failures;
    details += r.notes;
    const std::string where = QStringToCp932Lossy(QDir::toNativeSeparators(out));
    int id = ids::kMsgBundleDone;
    PromptIcon icon = PromptIcon::Information;
    std::string text = FormatString(id, static_cast<long long>(r.files.size()), where);
    if (!r.failures.isEmpty()) {
        id = ids::kMsgBundleNotWritten;
        icon = PromptIcon::Stop;
        text = FormatString(id, QStringToCp932Lossy(r.failures.front()));
    } else if (!unreadable.isEmpty()) {
        id = ids::kMsgBundleUnreadable;
        icon = PromptIcon::Warning;
        text = FormatString(id, where);
    }
    if (Prompter* p = CurrentPrompter())
        p->ShowWithDetails(id, text, icon, PromptButtons::Ok,
                           details.join(QLatin1Char('\n')).toStdString());
    return static_cast<int>(r.files.size());
}

} // namespace tessera
