#pragma once
// Points every QSettings of the process at a fresh temporary folder for the lifetime of
// the object, so tests never read or write the user's real settings.

#include <QString>
#include <QTemporaryDir>

namespace tessera::test {

class TempSettings {
public:
    TempSettings();
    ~TempSettings();
    TempSettings(const TempSettings&) = delete;
    TempSettings& operator=(const TempSettings&) = delete;

    bool IsValid() const { return m_dir.isValid(); }
    QString Folder() const { return m_dir.path(); }
    // The file the program's store lands in.
    QString StoreFile() const;

private:
    QTemporaryDir m_dir;
};

} // namespace tessera::test
