#include "app/AboutDlg.h"

#include "app/AppResources.h"
#include "app/Help.h"
#include "app/dial/ToneDialInfo.h"
#include "base/Cp932.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QSysInfo>
#include <QVBoxLayout>

namespace tessera {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    InitAppResources();
    const std::string& caption = LoadString(110000 + kDialogId);
    setWindowTitle(Cp932ToQString(caption.empty() ? LoadString(ids::kStrAboutTitle) : caption));
    setObjectName(QStringLiteral("AboutDlg"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tessera.svg")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(TitleLine(), this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    title->setFont(f);
    title->setObjectName(QStringLiteral("title"));

    auto* version = new QLabel(VersionLine(), this);
    version->setObjectName(QStringLiteral("version"));

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    const QString dial = ToneDialLine();
    if (!dial.isEmpty()) {
        auto* d = new QLabel(
            Cp932ToQString(FormatString(ids::kStrToneDialVersion, dial.toStdString())), this);
        d->setObjectName(QStringLiteral("tonedial"));
        text->addWidget(d);
    }
    auto* platform = new QLabel(PlatformLine(), this);
    platform->setObjectName(QStringLiteral("platform"));
    platform->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(platform);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutDlg::TitleLine() {
    const QString kernel = QSysInfo::kernelType();
    QString platform;
    if (kernel == QLatin1String("linux"))
        platform = QStringLiteral("Linux");
    else if (kernel == QLatin1String("winnt"))
        platform = QStringLiteral("Windows");
    else if (kernel == QLatin1String("darwin"))
        platform = QStringLiteral("macOS");
    else if (kernel.isEmpty())
        platform = QSysInfo::productType();
    else
        platform = kernel.left(1).toUpper() + kernel.mid(1);
    return QStringLiteral("Tessera for %1").arg(platform);
}

QString CAboutDlg::VersionLine() {
    if (HasString(9031))
        return Cp932ToQString(FormatString(9031, TESSERA_VERSION, TESSERA_BUILD_NUMBER));
    return QStringLiteral("Version %1 (Build %2)")
        .arg(QStringLiteral(TESSERA_VERSION))
        .arg(TESSERA_BUILD_NUMBER);
}

QString CAboutDlg::ToneDialLine() {
    unsigned version = 0;
    if (!QueryToneDialVersion(version))
        return {};
    return QStringLiteral("%1.%2").arg(version & 0xFFFFu).arg(version >> 16);
}

QString CAboutDlg::PlatformLine() {
    return QStringLiteral("%1 (%2), Qt %3")
        .arg(QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture(),
             QString::fromLatin1(qVersion()));
}

void CAboutDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1) {
        ShowHelpTopic(kHelpTopicBase + kDialogId);
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace tessera
