#pragma once
// The application's settings: read once at start-up, held in memory for every part of the
// program, written once at exit. Stored with QSettings (organization "Quillon",
// application "Tessera") in the groups Device, Filters and Settings.

#include "model/CodeMap.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QSettings;

namespace tessera {

// A registered filter program (group FilterPrograms/<name> of the user's settings).
struct FilterProgram {
    QString name;
    QString extension;       // szExtension, without the dot
    QString program;         // szFilter
    bool perlScript = false; // bPerlScript

    // "csv" of ".csv", " *.csv" or "csv": the file dialogs add "*." themselves.
    static QString BareExtension(const QString& typed);
};

enum class WindowShowState { Default, Minimized, Maximized };

class CAppSettings {
public:
    static constexpr int kModelCount = 10; // model codes 0..9
    static constexpr int kSettingsValueCount = 24;
    static constexpr int kBpsChoices[10] = {300,  600,   1200,  2400,  4800,
                                            9600, 19200, 38400, 57600, 115200};

    CAppSettings();
    ~CAppSettings();
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    // A QSettings on the program's store (also used for column widths and recent files).
    static std::unique_ptr<QSettings> OpenStore();

    // Reads every value; a value that is missing, unreadable or out of range takes its
    // default. A bad ZaurusType shows message 1013.
    void LoadSettings();
    bool IsLoaded() const { return m_loaded; }

    // Writes the 23 values (only after LoadSettings ran). Returns the number that did not
    // reach the store and shows message 1014 with it when that is not 0.
    int SaveSettings();

    // --- Device ---
    const QString& Port() const { return m_port; }
    // Accepts a serial port the system lists or the absolute path of a character device
    // (on Windows also COM1..COM9 style names), opens it exclusively and checks 9600 bps.
    // Messages 1120 (cannot open), 1121 (not a serial line), 1122 (no 9600 bps).
    bool SetPort(const QString& name);

    // --- the default port ---
    // True after LoadSettings when the store names no port: Port() is then DefaultPort().
    // Such a port is not written back, so an adapter plugged in later is found anew; a
    // port set with SetPort is the user's own.
    bool PortIsDefault() const { return m_portIsDefault; }
    struct PortCandidate {
        QString name;
        bool usb = false; // a USB adapter (it has a vendor id, or a ttyUSB/ttyACM name)
    };
    // The first USB adapter, else the first other port, in natural name order (ttyS2
    // before ttyS10); with no port at all the name an adapter usually gets ("COM1" on
    // Windows, "/dev/ttyUSB0" elsewhere), and `found` false.
    static QString ChooseDefaultPort(std::vector<PortCandidate> ports, bool* found = nullptr);
    // ChooseDefaultPort over the ports the system lists now.
    static QString DefaultPort(bool* found = nullptr);
    int Method = 0; // 0 infrared, other cable
    int Bps = 9600;
    bool IgnoreEcho = true;
    int DialMethod = 0; // 0 telephony, 1 tone-dial
    QString CallOut;    // outside-line prefix, at most 35 characters

    // --- Filters ---
    int Installed = 0;

    // --- Settings ---
    int ModelCode() const { return m_model; }
    bool SetModel(unsigned code);
    int SendBufferSize = 7; // the send buffer is 2^n KiB
    bool ImageSize = true;
    bool LimitFieldWidth = true;
    // The display limit in bytes: the settings sheet, the store and the table agree on it.
    static constexpr int kMinFieldWidth = 1;
    static constexpr int kMaxFieldWidth = 1024;
    int MaxFieldWidth = 64;
    bool ScheduleAutoComp = true;
    int HistoryBuffer = 4;
    bool NewOnStart = false;
    // The language of the texts: "auto", "ja", "en" or the name of another pack; read at
    // start-up, so a change takes effect at the next start.
    QString Language = QStringLiteral("auto");
    int WindowStyle = 0; // 0 normal, 1 minimized, 2 maximized
    int WindowLeft = 0;
    int WindowTop = 0;
    int WindowRight = 639;
    int WindowBottom = 479;

    // The three conversion switches, read by the character map at every call.
    bool ConvAlphaNumeric() const { return m_conv.convAlphaNumeric.load(); }
    bool ConvSymbol() const { return m_conv.convSymbol.load(); }
    bool ConvHiraKana() const { return m_conv.convHiraKana.load(); }
    void SetConvAlphaNumeric(bool on) { m_conv.convAlphaNumeric.store(on); }
    void SetConvSymbol(bool on) { m_conv.convSymbol.store(on); }
    void SetConvHiraKana(bool on) { m_conv.convHiraKana.store(on); }
    const CodeMapFlags* ConvFlags() const { return &m_conv; }

    // How the main window starts: WindowStyle 1 and 2 choose the state and the stored
    // rectangle is not applied; otherwise the rectangle applies.
    WindowShowState ShowState() const;
    bool ApplyStoredRect() const { return ShowState() == WindowShowState::Default; }

    // The send buffer size in bytes (2^SendBufferSize KiB).
    std::size_t SendBufferBytes() const { return std::size_t{1024} << SendBufferSize; }

    // --- registered filter programs ---
    // The file-dialog filter string "name (*.ext)|*.ext|...|" closed by one more "|", built
    // from the registered filters in enumeration order; also remembers their names.
    QString BuildFilterList();
    // The name at `index` of the list built by the last BuildFilterList, or empty.
    QString FilterNameAt(int index) const;
    const QStringList& FilterNames() const { return m_filterNames; }

    static std::vector<FilterProgram> ReadFilters();
    static bool ReadFilter(const QString& name, FilterProgram& out);
    static bool WriteFilter(const FilterProgram& filter);
    static bool RemoveFilter(const QString& name);

    // Model code <-> stored ZaurusType number.
    static int StoredNumberOfModel(int code);
    static int ModelOfStoredNumber(int stored);

private:
    QString m_port = QStringLiteral("COM1");
    bool m_portIsDefault = false;
    int m_model = 0;
    CodeMapFlags m_conv;
    QStringList m_filterNames;
    bool m_loaded = false;
};

} // namespace tessera
