// Opening a 100 000-record phone book in the Tessera window (offscreen): the bare load of
// the file into a document, against the same file opened in the main window with the
// first paint of its table. The window should add little more than its first paint (about
// 10 ms) to the load, and the whole should stay under 100 ms. Two files: the window tests' phone
// book (argument 0) and the varied one of the text form benchmark (argument 1, see
// VariedPhoneBook.h).
//
// Counters: bare_ms (load only), window_ms (open in the window + first paint), overhead_pct.

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "bench/VariedPhoneBook.h"
#include "document/DocHost.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/CodeMap.h"
#include "tests/gui/RecordFactory.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace tessera;
using Clock = std::chrono::steady_clock;

// What a document needs to load, without any window.
class BareHost : public CDocHost {
public:
    BareHost() { m_map.LoadTables(); }
    const CCodeMap* CodeMap() const override { return &m_map; }
    bool LimitFieldWidth() const override { return true; }
    int MaxFieldWidth() const override { return 64; }
    int FieldWidth(const std::string&) const override { return 100; }
    void SetFieldWidth(const std::string&, int) override {}
    bool IsBusy() const override { return false; }
    void AddToRecentFiles(const QString&) override {}
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    void RefreshStatus() override {}

private:
    CCodeMap m_map;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_OpenPhoneBook100k(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("phonebook.tsr"));
    {
        const std::string text = state.range(0) == 1
                                     ? bench::VariedPhoneBookText(100000)
                                     : testdata::MakeTextForm(kKindPhoneBook, 100000);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text.data(), static_cast<qint64>(text.size()));
    }

    QTemporaryDir settings;
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settings.path());
    CTesseraApp::Options options;
    options.singleInstance = false;
    options.installPrompter = false;
    CTesseraApp app(options);
    app.InitInstance({QStringLiteral("tessera")});
    CMainFrame* frame = app.MainFrame();
    frame->resize(1024, 700);
    QApplication::processEvents();

    BareHost host;
    double bare = 0;
    double window = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        {
            CTesseraDoc doc(host);
            benchmark::DoNotOptimize(doc.OnOpenDocument(path));
        }
        const auto t1 = Clock::now();
        CTesseraDoc* doc = frame->OpenDocumentFile(path);
        frame->repaint();
        if (doc != nullptr && !doc->Views().isEmpty())
            doc->Views().first()->viewport()->repaint();
        const auto t2 = Clock::now();
        bare += Ms(t1 - t0);
        window += Ms(t2 - t1);

        state.PauseTiming();
        if (doc != nullptr)
            frame->CloseDocument(doc);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["bare_ms"] = bare / n;
    state.counters["window_ms"] = window / n;
    state.counters["overhead_pct"] = bare > 0 ? 100.0 * (window - bare) / bare : 0.0;
    app.ExitInstance();
}
BENCHMARK(BM_OpenPhoneBook100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
