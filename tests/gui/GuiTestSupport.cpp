#include "GuiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace tessera::test {

namespace {

// The widget tests need one application object for the whole run.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "gui_tests";
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

StartedApp::StartedApp(const QStringList& args, bool singleInstance, bool ownSettings) {
    if (ownSettings)
        settings = std::make_unique<TempSettings>();
    CTesseraApp::Options options;
    options.singleInstance = singleInstance;
    options.instanceDir = runtime.path();
    options.installPrompter = false;
    options.showWindow = true;
    app = std::make_unique<CTesseraApp>(options);
    app->SetFileDialog([this](bool, QWidget*, const QString&) { return dialogAnswer; });
    app->SetUrlOpener([](const QUrl&) { return true; });
    QStringList full{QStringLiteral("tessera")};
    full += args;
    started = app->InitInstance(full);
}

StartedApp::~StartedApp() {
    if (app)
        app->ExitInstance();
    app.reset();
    settings.reset();
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::string& bytes) {
    const QString path = QDir(dir.path()).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
}

std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

void ProcessEvents() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace tessera::test
