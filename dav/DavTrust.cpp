#include "dav/DavTrust.h"

#include "base/AppSettings.h"

#include <QSettings>
#include <QUrl>

namespace tessera::dav {

namespace {
const QString kGroup = QStringLiteral("Publish/TrustedCertificates");
}

QMap<QString, QStringList> LoadTrusted() {
    QMap<QString, QStringList> out;
    std::unique_ptr<QSettings> store = CAppSettings::OpenStore();
    store->beginGroup(kGroup);
    for (const QString& key : store->childKeys())
        out[QUrl::fromPercentEncoding(key.toLatin1())] = store->value(key).toStringList();
    return out;
}

void SaveTrusted(const QMap<QString, QStringList>& trusted) {
    std::unique_ptr<QSettings> store = CAppSettings::OpenStore();
    store->beginGroup(kGroup);
    for (auto it = trusted.begin(); it != trusted.end(); ++it)
        store->setValue(QString::fromLatin1(QUrl::toPercentEncoding(it.key())), it.value());
    store->endGroup();
    store->sync();
}

} // namespace tessera::dav
