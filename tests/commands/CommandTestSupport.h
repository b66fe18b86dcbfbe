#pragma once
// Shared pieces of the command tests: the application object, a document host with its
// settings in memory, documents filled from text forms, and the started program.

#include "app/TesseraApp.h"
#include "document/DocHost.h"
#include "document/RecordCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "sim/SimDevice.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tessera::test {

inline constexpr double kScale = 0.1;

class FakeHost : public CDocHost {
public:
    const CCodeMap* CodeMap() const override { return nullptr; }
    bool LimitFieldWidth() const override { return false; }
    int MaxFieldWidth() const override { return 64; }
    int FieldWidth(const std::string&) const override { return 100; }
    void SetFieldWidth(const std::string&, int) override {}
    bool IsBusy() const override { return busy; }
    void AddToRecentFiles(const QString&) override {}
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    void RefreshStatus() override { ++refreshes; }
    bool busy = false;
    int refreshes = 0;
};

// The phone-book header (12 fields) with one record per name (only NAME filled).
std::string PhoneBookText(const std::vector<std::string>& names);
// A sample file's bytes (resources/samples/<name>.tsr).
std::string SampleText(const std::string& name);
// NAME of every record in set order (UTF-8), or the exchange text of `field`.
std::vector<std::string> Names(const CTesseraDoc& doc, int field = 1);

// The record commands' host for documents without the application: an editor that writes
// `editorValue` into field 1 (NAME) and answers `editorAnswer`, a kind chooser answering
// `kindChoice`; no progress windows.
struct TestHooks : CRecordCommandHost {
    bool editorAnswer = true;
    std::string editorValue = "Edited";
    int kindChoice = 0;
    int editorRuns = 0;
    std::vector<int> editorKinds = {1, 2, 3, 4, 5, 6, 7, 8};
    std::size_t bufferBytes = std::size_t{128} * 1024;

    bool HasEditor(int kind) const override;
    bool EditRecord(QWidget* parent, int kind, CDataRecord& record, bool isNew) override;
    int ChooseNewKind(QWidget*) override { return kindChoice; }
    CProgressWindow* CreateProgress(const std::shared_ptr<TransferJob>&, QWidget*) override {
        return nullptr;
    }
    void FillLink(JobLink&) override {}
    std::size_t SendBufferBytes() const override { return bufferBytes; }
    void SetBusy(bool) override {}
    void Beep() override {}
};

// A new document with one table view, the record commands installed with `hooks`, and an
// empty clipboard. Public, so tables of cases can drive it from outside.
class DocViewTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // Replaces the document's records with `text` (a text form) as an unmodified document.
    void LoadText(const std::string& text);
    int RowOf(int record) const;
    // Selects the rows of `records`; the first becomes the focused row unless `focus` is false.
    void SelectRecords(const std::vector<int>& records, bool focus = true);

    ScriptedPrompter prompter;
    FakeHost host;
    TestHooks hooks;
    std::unique_ptr<CRecordCommands> commands;
    std::unique_ptr<CTesseraDoc> doc;
    std::unique_ptr<CTesseraView> view;
};

// A started Tessera on its own settings folder, without message boxes of its own.
struct RunningApp {
    explicit RunningApp(const QStringList& args = {});
    ~RunningApp();
    std::unique_ptr<TempSettings> settings;
    QTemporaryDir runtime;
    std::unique_ptr<CTesseraApp> app;
    bool started = false;
    // The running transfer of the app's window, if any.
    CTransferSession* Session() const;
};

// Points every job's link at `port` (cable or infrared) with scaled timing.
void UseSimulatedLine(const std::string& port, sim::SimMethod method);
sim::SimConfig DeviceConfig(sim::SimMethod method, sim::SimRole role);

void ProcessEvents(int ms = 0);
// Processes events until `done` or the time runs out; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

} // namespace tessera::test
