#include "app/publish/PublishDlg.h"

#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace tessera {

namespace {
QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}
const QString kGroup = QStringLiteral("Publish");
} // namespace

bool IsPublishUrl(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

CPublishDlg::CPublishDlg(const PublishChoice& initial, const QString& document,
                         const QString& storeProblem, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PublishDlg"));
    setWindowTitle(Text(ids::kStrDavTitle));
    auto* layout = new QVBoxLayout(this);

    auto* what = new QGroupBox(Text(ids::kStrDavSource), this);
    auto* whatLayout = new QVBoxLayout(what);
    m_document = new QRadioButton(Cp932ToQString(FormatText(LoadString(ids::kStrDavSourceDoc),
                                                            {QStringToCp932Lossy(document)})),
                                  what);
    m_document->setEnabled(!document.isEmpty());
    whatLayout->addWidget(m_document);
    auto* folderRow = new QHBoxLayout;
    m_folderChoice = new QRadioButton(Text(ids::kStrDavSourceDir), what);
    m_folder = new QLineEdit(initial.folder, what);
    m_folder->setObjectName(QStringLiteral("folder"));
    m_browse = new QPushButton(Text(ids::kStrDavBrowse), what);
    folderRow->addWidget(m_folderChoice);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    whatLayout->addLayout(folderRow);
    layout->addWidget(what);
    (initial.useDocument && !document.isEmpty() ? m_document : m_folderChoice)->setChecked(true);

    auto* form = new QFormLayout;
    m_url = new QLineEdit(initial.url, this);
    m_url->setObjectName(QStringLiteral("url"));
    m_url->setPlaceholderText(QStringLiteral("https://dav.example.org/"));
    m_url->setMinimumWidth(360);
    m_user = new QLineEdit(initial.user, this);
    m_user->setObjectName(QStringLiteral("user"));
    m_password = new QLineEdit(initial.password, this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(Text(ids::kStrDavUrl), m_url);
    form->addRow(Text(ids::kStrDavUser), m_user);
    form->addRow(Text(ids::kStrDavPassword), m_password);
    layout->addLayout(form);
    m_remember = new QCheckBox(Text(ids::kStrDavRemember), this);
    m_remember->setChecked(initial.remember && storeProblem.isEmpty());
    m_remember->setEnabled(storeProblem.isEmpty());
    if (!storeProblem.isEmpty())
        m_remember->setToolTip(storeProblem);
    layout->addWidget(m_remember);
    m_deleteMissing = new QCheckBox(Text(ids::kStrDavDeleteMissing), this);
    m_deleteMissing->setChecked(initial.deleteMissing);
    layout->addWidget(m_deleteMissing);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Cancel)
        ->setText(Cp932ToQString(LoadString(kFixedTextBase + 27)));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString dir =
            QFileDialog::getExistingDirectory(this, Text(ids::kStrDavSourceDir), m_folder->text());
        if (!dir.isEmpty()) {
            m_folder->setText(QDir::toNativeSeparators(dir));
            m_folderChoice->setChecked(true);
        }
    });
    for (QLineEdit* e : {m_url, m_folder})
        connect(e, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
    connect(m_folderChoice, &QRadioButton::toggled, this, [this] { UpdateOk(); });
    UpdateOk();
}

void CPublishDlg::UpdateOk() {
    const bool folderOk =
        !m_folderChoice->isChecked() ||
        (!m_folder->text().trimmed().isEmpty() && QDir(m_folder->text().trimmed()).exists());
    m_ok->setEnabled(IsPublishUrl(m_url->text()) && folderOk);
}

PublishChoice CPublishDlg::Choice() const {
    PublishChoice c;
    c.url = m_url->text().trimmed();
    c.user = m_user->text().trimmed();
    c.password = m_password->text();
    c.remember = m_remember->isChecked();
    c.useDocument = m_document->isChecked();
    c.folder = m_folder->text().trimmed();
    c.deleteMissing = m_deleteMissing->isChecked();
    return c;
}

PublishChoice CPublishDlg::LoadChoice() {
    std::unique_ptr<QSettings> s = CAppSettings::OpenStore();
    s->beginGroup(kGroup);
    PublishChoice c;
    c.url = s->value(QStringLiteral("Url")).toString();
    c.user = s->value(QStringLiteral("User")).toString();
    c.folder = s->value(QStringLiteral("Folder")).toString();
    c.remember = s->value(QStringLiteral("RememberPassword"), true).toBool();
    c.deleteMissing = s->value(QStringLiteral("DeleteMissing"), false).toBool();
    return c;
}

void CPublishDlg::SaveChoice(const PublishChoice& c) {
    std::unique_ptr<QSettings> s = CAppSettings::OpenStore();
    s->beginGroup(kGroup);
    // Never the password: that lives in the secret store or nowhere.
    s->setValue(QStringLiteral("Url"), c.url);
    s->setValue(QStringLiteral("User"), c.user);
    s->setValue(QStringLiteral("Folder"), c.folder);
    s->setValue(QStringLiteral("RememberPassword"), c.remember);
    s->setValue(QStringLiteral("DeleteMissing"), c.deleteMissing);
    s->endGroup();
    s->sync();
}

} // namespace tessera
