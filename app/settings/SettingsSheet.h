#pragma once
// "環境設定": the five-page settings sheet. The pages edit copies of the settings; only OK
// applies them to the settings held in memory (they reach the store at exit).

#include <QDialog>
#include <QString>
#include <functional>

QT_BEGIN_NAMESPACE
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSlider;
class QTabWidget;
QT_END_NAMESPACE

namespace tessera {

class CAppSettings;

class CSettingsSheet : public QDialog {
    Q_OBJECT
public:
    enum Page { PortPage, EditPage, FilePage, MachinePage, DialPage };

    // Answers whether tone dialing can work in this run (an audio output exists).
    using ToneAvailability = std::function<bool()>;

    // Fills the pages from `settings`. Without `toneAvailable` the tone-dial module is asked.
    explicit CSettingsSheet(CAppSettings& settings, QWidget* parent = nullptr,
                            ToneAvailability toneAvailable = {});

    // The settings command: runs the sheet; true when OK applied the pages.
    static bool Run(CAppSettings& settings, QWidget* parent = nullptr);

    // Checks what must be checked before anything is applied (the field width); shows the
    // message and turns to the offending page when something is wrong.
    bool Validate();
    // Applies every page to the settings, in the order the settings depend on each other
    // (a refused port does not stop the other values).
    void Apply();

    QTabWidget* Tabs() const { return m_tabs; }

    // Serial ports offered by the port list, as "name" plus a description.
    struct PortChoice {
        QString name;
        QString description;
    };
    // Replaces the system's port list (tests, and a refresh after plugging in an adapter).
    void SetPortChoices(const QList<PortChoice>& ports);
    // The port name the page holds now (a listed port or a typed path).
    QString ChosenPort() const;

    static QString SpeedText(int index);
    static int SpeedIndexOfBps(int bps);
    static QString BufferSizeText(int power);

public slots:
    void accept() override;

private:
    QWidget* BuildPortPage();
    QWidget* BuildEditPage();
    QWidget* BuildFilePage();
    QWidget* BuildMachinePage();
    QWidget* BuildDialPage();
    void Fill();
    void UpdatePortEnabled();
    void UpdateWidthEnabled();
    void UpdateBufferLabel(int value);
    void UpdateHistoryLabel(int value);
    void OnTabChanged(int index);
    bool ReadWidth(int& width) const;
    void ShowWidthRangeMessage();
    // Takes a changed port (it must open); false, on the port page, when it does not.
    bool TakePort();

    CAppSettings& m_settings;
    bool m_toneAvailable = true;
    QTabWidget* m_tabs = nullptr;
    int m_lastTab = 0;
    bool m_revertingTab = false;

    // Port page
    QRadioButton* m_methodAsk = nullptr;   // 1033
    QRadioButton* m_methodCable = nullptr; // 1034
    QComboBox* m_port = nullptr;           // 1037
    QLabel* m_portDescription = nullptr;
    QComboBox* m_speed = nullptr; // 1038
    QLabel* m_speedLabel = nullptr;
    QSlider* m_buffer = nullptr;       // 1159
    QLabel* m_bufferLabel = nullptr;   // 1160
    QCheckBox* m_ignoreEcho = nullptr; // 1161
    QList<PortChoice> m_portChoices;

    // Edit page
    QCheckBox* m_convAlpha = nullptr;    // 1097
    QCheckBox* m_convSymbol = nullptr;   // 1098
    QCheckBox* m_convHiraKana = nullptr; // 1099
    QCheckBox* m_imageSize = nullptr;    // 1158
    QCheckBox* m_limitWidth = nullptr;   // 1162
    QLineEdit* m_maxWidth = nullptr;     // 1163
    QLabel* m_maxWidthLabel = nullptr;   // 1164
    QCheckBox* m_autoComp = nullptr;     // 1229

    // File page
    QSlider* m_history = nullptr;      // 1177
    QLabel* m_historyLabel = nullptr;  // 1178
    QCheckBox* m_newOnStart = nullptr; // 1213

    // Machine page
    QListWidget* m_models = nullptr; // 1144
    int m_modelChoice = 0;

    // Dial page
    QRadioButton* m_dialHandler = nullptr; // 1199
    QRadioButton* m_dialTones = nullptr;   // 1200
    QLabel* m_handlerNote = nullptr;
    QLabel* m_toneNote = nullptr;     // 1201
    QLabel* m_callOutLabel = nullptr; // 1219
    QLineEdit* m_callOut = nullptr;   // 1218
};

} // namespace tessera
