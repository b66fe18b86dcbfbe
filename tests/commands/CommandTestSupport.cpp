#include "CommandTestSupport.h"

#include "app/MainFrame.h"
#include "base/Cp932.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/UpdateHint.h"
#include "link/LinkTiming.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QThread>
#include <gtest/gtest.h>

namespace tessera::test {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "commands_tests";
            static char* argv[] = {name, nullptr};
            m_app = new QApplication(argc, argv);
        }
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

std::string PhoneBookText(const std::vector<std::string>& names) {
    std::string text = SampleText("phonebook");
    // The sample's two header lines, then our records.
    std::size_t end = text.find("\r\n");
    end = text.find("\r\n", end + 2);
    std::string out = text.substr(0, end + 2);
    for (const std::string& n : names)
        out += "\"D\",\" \",\"" + n + "\",,,,,,,,,,\r\n";
    out += '\x1A';
    return out;
}

std::string SampleText(const std::string& name) {
    QFile f(QStringLiteral(TESSERA_SAMPLES "/%1.tsr").arg(QString::fromStdString(name)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::vector<std::string> Names(const CTesseraDoc& doc, int field) {
    std::vector<std::string> out;
    const CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return out;
    for (int i = 0; i < set->RecordCount(); ++i) {
        std::string text;
        set->RecordAt(i)->FormatField(field, text, false);
        out.push_back(Utf8(text));
    }
    return out;
}

bool TestHooks::HasEditor(int kind) const {
    return std::find(editorKinds.begin(), editorKinds.end(), kind) != editorKinds.end();
}

bool TestHooks::EditRecord(QWidget*, int, CDataRecord& record, bool) {
    ++editorRuns;
    // Field 1 is a name in the contact kinds; other kinds may refuse the text.
    try {
        record.ParseField(1, Cp932(editorValue), false);
    } catch (...) {
    }
    return editorAnswer;
}

RunningApp::RunningApp(const QStringList& args) : settings(std::make_unique<TempSettings>()) {
    CTesseraApp::Options options;
    options.singleInstance = false;
    options.instanceDir = runtime.path();
    options.installPrompter = false;
    options.showWindow = true;
    app = std::make_unique<CTesseraApp>(options);
    app->SetUrlOpener([](const QUrl&) { return true; });
    started = app->InitInstance(QStringList{QStringLiteral("tessera")} + args);
}

RunningApp::~RunningApp() {
    // A test that failed half-way must not leave a job behind for the next one.
    if (CTransferSession* s = Session())
        s->Cancel();
    if (app && app->MainFrame())
        app->MainFrame()->RecordCommands().WaitForEnd(30000);
    if (app)
        app->ExitInstance();
    app.reset();
    settings.reset();
    SetJobLinkAdjuster({});
}

CTransferSession* RunningApp::Session() const {
    return app && app->MainFrame() ? app->MainFrame()->RecordCommands().Session() : nullptr;
}

void UseSimulatedLine(const std::string& port, sim::SimMethod method) {
    const QString name = QString::fromStdString(port);
    SetJobLinkAdjuster([name, method](JobLink& link) {
        link.method = method == sim::SimMethod::Infrared ? 0 : 1;
        link.portName = name;
        link.bitsPerSecond = 9600;
        link.ignoreEcho = false;
        link.timing = LinkTiming{}.Scaled(kScale);
    });
}

sim::SimConfig DeviceConfig(sim::SimMethod method, sim::SimRole role) {
    sim::SimConfig c;
    c.method = method;
    c.role = role;
    c.timing = sim::SimTiming{}.Scaled(kScale);
    return c;
}

void ProcessEvents(int ms) {
    QDeadlineTimer deadline(ms);
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ms > 0)
            QThread::msleep(2);
    } while (!deadline.hasExpired());
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

void DocViewTest::SetUp() {
    commands = std::make_unique<CRecordCommands>(hooks);
    doc = std::make_unique<CTesseraDoc>(host);
    ASSERT_TRUE(doc->OnNewDocument());
    view = std::make_unique<CTesseraView>(*doc);
    view->SetRecordCommands(commands.get());
    QGuiApplication::clipboard()->clear();
}

void DocViewTest::TearDown() {
    view.reset();
    doc.reset();
}

void DocViewTest::LoadText(const std::string& text) {
    doc->DeleteContents();
    ASSERT_TRUE(doc->LoadText(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
    doc->UpdateAllViews(nullptr, kHintRebuild);
    doc->SetModifiedFlag(false);
}

int DocViewTest::RowOf(int record) const {
    return view->Model()->RowOfRecord(record);
}

void DocViewTest::SelectRecords(const std::vector<int>& records, bool focus) {
    view->clearSelection();
    for (int r : records)
        view->selectionModel()->select(view->Model()->index(RowOf(r), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (focus && !records.empty())
        view->selectionModel()->setCurrentIndex(view->Model()->index(RowOf(records.front()), 0),
                                                QItemSelectionModel::NoUpdate);
}

} // namespace tessera::test
