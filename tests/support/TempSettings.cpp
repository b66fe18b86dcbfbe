#include "support/TempSettings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace tessera::test {

namespace {
void PointAt(const QString& folder) {
    for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope s : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(f, s, folder);
}
} // namespace

TempSettings::TempSettings() {
    QStandardPaths::setTestModeEnabled(true);
    if (!m_dir.isValid()) {
        ADD_FAILURE() << "cannot make a temporary settings folder";
        return;
    }
    PointAt(m_dir.path());
}

TempSettings::~TempSettings() {
    // Leave QSettings on the test-mode folder rather than the user's real one.
    PointAt(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString TempSettings::StoreFile() const {
    return QDir(m_dir.path()).filePath(QStringLiteral("Quillon/Tessera.conf"));
}

} // namespace tessera::test
