#pragma once
// What documents and their table views take from the application: the device character
// map, the display settings, the column-width store, the busy flag and the file dialogs.
// The application object implements it; tests give a small fake.

#include <QString>
#include <string>

class QWidget;

namespace tessera {

class CCodeMap;
class CTesseraDoc;

class CDocHost {
public:
    virtual ~CDocHost() = default;

    // The map applied to every double-byte character read from a text form.
    virtual const CCodeMap* CodeMap() const = 0;

    virtual bool LimitFieldWidth() const = 0;
    // The display limit in bytes, already clamped to 1..1023.
    virtual int MaxFieldWidth() const = 0;

    // Column width store ("Field Width"), by the field's four-character tag.
    virtual int FieldWidth(const std::string& tag) const = 0;
    virtual void SetFieldWidth(const std::string& tag, int width) = 0;

    // Set while a transfer job runs.
    virtual bool IsBusy() const = 0;
    // True while a receive into `doc` runs (it holds none of its records meanwhile).
    virtual bool IsReceivingInto(const CTesseraDoc& doc) const {
        (void)doc;
        return false;
    }

    // A document was opened or saved under `path`: the recent-file list takes it.
    virtual void AddToRecentFiles(const QString& path) = 0;

    // The Save As dialog; an empty result means the user cancelled.
    virtual QString GetSaveFileName(QWidget* parent, const QString& suggested) = 0;

    // Something the status bar shows has changed (record count, kind).
    virtual void RefreshStatus() = 0;
};

} // namespace tessera
