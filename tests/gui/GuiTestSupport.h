#pragma once
// Shared pieces of the window tests: one QApplication for the whole run, a document host
// with settings in memory, and a started application with its own settings folder.

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "document/DocHost.h"
#include "document/TesseraView.h"
#include "support/TempSettings.h"

#include <QString>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>

namespace tessera::test {

// Settings of the tables in memory, a busy flag and scripted file dialogs.
class FakeDocHost : public CDocHost {
public:
    const CCodeMap* CodeMap() const override { return nullptr; }
    bool LimitFieldWidth() const override { return limit; }
    int MaxFieldWidth() const override { return maxWidth; }
    int FieldWidth(const std::string& tag) const override {
        const auto it = widths.find(tag);
        return it == widths.end() ? 100 : it->second;
    }
    void SetFieldWidth(const std::string& tag, int width) override { widths[tag] = width; }
    bool IsBusy() const override { return busy; }
    void AddToRecentFiles(const QString& path) override { recent = path; }
    QString GetSaveFileName(QWidget*, const QString& suggested) override {
        askedName = suggested;
        return saveAnswer;
    }
    void RefreshStatus() override { ++refreshes; }

    bool limit = true;
    int maxWidth = 64;
    bool busy = false;
    std::map<std::string, int> widths;
    QString recent;
    QString saveAnswer;
    QString askedName;
    int refreshes = 0;
};

// A started Tessera, with its lock in a temporary folder, answering file dialogs from
// `dialogAnswer`. With `ownSettings` it also gets a settings folder of its own; tests that
// start Tessera twice on the same settings make a TempSettings themselves.
struct StartedApp {
    explicit StartedApp(const QStringList& args = {}, bool singleInstance = false,
                        bool ownSettings = true);
    ~StartedApp();

    std::unique_ptr<TempSettings> settings;
    QTemporaryDir runtime;
    std::unique_ptr<CTesseraApp> app;
    bool started = false;
    QString dialogAnswer;
};

// Writes `bytes` to `dir/name` and returns the path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::string& bytes);
std::string ReadFile(const QString& path);

void ProcessEvents();

} // namespace tessera::test
