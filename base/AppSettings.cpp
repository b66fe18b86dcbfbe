#include "base/AppSettings.h"

#include "base/Cp932.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSettings>
#include <algorithm>
#include <climits>

namespace tessera {

namespace {

constexpr int kMsgBadModel = ids::kMsgBadModel;
constexpr int kMsgWriteFailed = ids::kMsgSettingsNotWritten;
constexpr int kMsgPortOpen = ids::kMsgPortOpen;
constexpr int kMsgPortInfo = ids::kMsgPortInfo;
constexpr int kMsgPort9600 = ids::kMsgPort9600;
constexpr int kMsgPortReason = 9201; // the system's reason a port did not open

// Stored ZaurusType 0..9 -> model code; PI-6600 was added after PI-7000 and PI-8000.
constexpr int kModelOfStored[10] = {0, 1, 2, 3, 4, 5, 7, 8, 6, 9};
constexpr int kStoredOfModel[10] = {0, 1, 2, 3, 4, 5, 8, 6, 7, 9};

// A port is a platform path; anything longer than this is not one we can have written.
constexpr qsizetype kMaxPortLength = 255;
constexpr qsizetype kMaxCallOutLength = 35;
constexpr qsizetype kMaxFilterExtension = 255;

const QString kFilterRoot = QStringLiteral("FilterPrograms");

// Reads an integer; a missing or non-numeric value gives `def`, as does one outside
// [lo, hi] — the store is a plain file anyone can edit.
int ReadInt(QSettings& s, const char* key, int def, int lo = INT_MIN, int hi = INT_MAX) {
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid())
        return def;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < lo || n > hi)
        return def;
    return static_cast<int>(n);
}

bool ReadBool(QSettings& s, const char* key, bool def) {
    return ReadInt(s, key, def ? 1 : 0, 0, 1) == 1;
}

QString ReadText(QSettings& s, const char* key, const QString& def, qsizetype maxLength) {
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid())
        return def;
    const QString text = v.toString();
    if (text.size() > maxLength || text.contains(QChar(0)))
        return def;
    return text;
}

bool IsValidBps(int bps) {
    return std::find(std::begin(CAppSettings::kBpsChoices), std::end(CAppSettings::kBpsChoices),
                     bps) != std::end(CAppSettings::kBpsChoices);
}

#ifdef Q_OS_WIN
bool IsComName(const QString& name) {
    return name.size() == 4 &&
           name.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0 &&
           name.at(3).isLetterOrNumber() && name.at(3).unicode() < 0x80;
}
#endif

bool IsKnownPort(const QString& name) {
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        if (info.portName() == name || info.systemLocation() == name)
            return true;
#ifdef Q_OS_WIN
    return IsComName(name);
#else
    // A device node the enumeration missed (a pseudo-terminal, an adapter without a
    // driver entry): an absolute path to something that is neither file nor folder.
    const QFileInfo fi(name);
    return fi.isAbsolute() && fi.exists() && !fi.isFile() && !fi.isDir();
#endif
}

} // namespace

QString FilterProgram::BareExtension(const QString& typed) {
    QString ext = typed.trimmed();
    if (ext.startsWith(QLatin1Char('*')))
        ext.remove(0, 1);
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext.trimmed();
}

CAppSettings::CAppSettings() = default;
CAppSettings::~CAppSettings() = default;

std::unique_ptr<QSettings> CAppSettings::OpenStore() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Quillon"), QStringLiteral("Tessera"));
}

int CAppSettings::StoredNumberOfModel(int code) {
    return (code >= 0 && code < 10) ? kStoredOfModel[code] : 0;
}
int CAppSettings::ModelOfStoredNumber(int stored) {
    return (stored >= 0 && stored < 10) ? kModelOfStored[stored] : 0;
}

void CAppSettings::LoadSettings() {
    std::unique_ptr<QSettings> store = OpenStore();
    QSettings& s = *store;

    s.beginGroup(QStringLiteral("Device"));
    m_port = ReadText(s, "Port", QString(), kMaxPortLength);
    m_portIsDefault = m_port.isEmpty();
    if (m_portIsDefault)
        m_port = DefaultPort();
    Method = ReadInt(s, "Method", 0);
    Bps = ReadInt(s, "Bps", 9600);
    if (!IsValidBps(Bps))
        Bps = 9600;
    IgnoreEcho = ReadBool(s, "IgnoreEcho", true);
    DialMethod = ReadInt(s, "DialMethod", 0, 0, 1);
    CallOut = ReadText(s, "CallOut", QString(), kMaxCallOutLength);
    s.endGroup();

    s.beginGroup(QStringLiteral("Filters"));
    Installed = ReadInt(s, "Installed", 0, 0);
    s.endGroup();

    s.beginGroup(QStringLiteral("Settings"));
    if (s.contains(QStringLiteral("ZaurusType"))) {
        const int stored = ReadInt(s, "ZaurusType", -1, 0, 9);
        if (stored < 0)
            ShowMessage(kMsgBadModel, PromptIcon::Warning, PromptButtons::Ok);
        m_model = ModelOfStoredNumber(std::max(stored, 0));
    } else {
        m_model = 0;
    }
    SendBufferSize = ReadInt(s, "SendBufferSize", 7, 6, 10);
    ImageSize = ReadBool(s, "ImageSize", true);
    LimitFieldWidth = ReadBool(s, "LimitFieldWidth", true);
    MaxFieldWidth = ReadInt(s, "MaxFieldWidth", 64, kMinFieldWidth, kMaxFieldWidth);
    SetConvAlphaNumeric(ReadBool(s, "ConvAlphaNumeric", false));
    SetConvSymbol(ReadBool(s, "ConvSymbol", false));
    SetConvHiraKana(ReadBool(s, "ConvHiraKana", false));
    ScheduleAutoComp = ReadBool(s, "ScheduleAutoComp", true);
    HistoryBuffer = ReadInt(s, "HistoryBuffer", 4, 1, 16);
    NewOnStart = ReadBool(s, "NewOnStart", false);
    Language = ReadText(s, "Language", QStringLiteral("auto"), 16);
    WindowStyle = ReadInt(s, "WindowStyle", 0, 0, 2);
    // The rectangle is read even when the window starts minimized or maximized: it is
    // not applied then, but writing defaults back at exit would lose the user's placement.
    WindowBottom = ReadInt(s, "WindowBottom", 479);
    WindowRight = ReadInt(s, "WindowRight", 639);
    WindowTop = ReadInt(s, "WindowTop", 0);
    WindowLeft = ReadInt(s, "WindowLeft", 0);
    s.endGroup();

    m_loaded = true;
}

WindowShowState CAppSettings::ShowState() const {
    switch (WindowStyle) {
    case 1:
        return WindowShowState::Minimized;
    case 2:
        return WindowShowState::Maximized;
    default:
        return WindowShowState::Default;
    }
}

int CAppSettings::SaveSettings() {
    if (!m_loaded)
        return 0; // nothing was read, so nothing in memory is worth storing

    struct Item {
        QString key;
        QVariant value;
    };
    const auto b = [](bool v) { return QVariant(v ? 1 : 0); };
    std::vector<Item> items = {
        {QStringLiteral("Device/Port"), m_port},
        {QStringLiteral("Device/Method"), Method},
        {QStringLiteral("Device/Bps"), Bps},
        {QStringLiteral("Device/IgnoreEcho"), b(IgnoreEcho)},
        {QStringLiteral("Device/DialMethod"), DialMethod},
        {QStringLiteral("Device/CallOut"), CallOut},
        {QStringLiteral("Filters/Installed"), Installed},
        {QStringLiteral("Settings/ZaurusType"), StoredNumberOfModel(m_model)},
        {QStringLiteral("Settings/SendBufferSize"), SendBufferSize},
        {QStringLiteral("Settings/ImageSize"), b(ImageSize)},
        {QStringLiteral("Settings/LimitFieldWidth"), b(LimitFieldWidth)},
        {QStringLiteral("Settings/MaxFieldWidth"), MaxFieldWidth},
        {QStringLiteral("Settings/ConvAlphaNumeric"), b(ConvAlphaNumeric())},
        {QStringLiteral("Settings/ConvSymbol"), b(ConvSymbol())},
        {QStringLiteral("Settings/ConvHiraKana"), b(ConvHiraKana())},
        {QStringLiteral("Settings/ScheduleAutoComp"), b(ScheduleAutoComp)},
        {QStringLiteral("Settings/HistoryBuffer"), HistoryBuffer},
        {QStringLiteral("Settings/NewOnStart"), b(NewOnStart)},
        {QStringLiteral("Settings/Language"), Language},
        {QStringLiteral("Settings/WindowStyle"), WindowStyle},
        {QStringLiteral("Settings/WindowTop"), WindowTop},
        {QStringLiteral("Settings/WindowLeft"), WindowLeft},
        {QStringLiteral("Settings/WindowBottom"), WindowBottom},
        {QStringLiteral("Settings/WindowRight"), WindowRight},
    };
    // A default port is found anew at the next start: not stored (see PortIsDefault).
    if (m_portIsDefault)
        items.erase(items.begin());

    int failed = 0;
    {
        std::unique_ptr<QSettings> store = OpenStore();
        if (!store->isWritable()) {
            failed = static_cast<int>(items.size());
        } else {
            for (const Item& it : items)
                store->setValue(it.key, it.value);
            store->sync();
            // A malformed old file (FormatError) is still replaced; only a failed write counts.
            if (store->status() == QSettings::AccessError)
                failed = static_cast<int>(items.size());
        }
    }
    if (failed == 0) {
        // Read back through a fresh store: a value that did not arrive counts as failed.
        std::unique_ptr<QSettings> check = OpenStore();
        for (const Item& it : items)
            if (check->value(it.key).toString() != it.value.toString())
                ++failed;
    }
    if (failed > 0)
        ShowMessage(kMsgWriteFailed, PromptIcon::Warning, PromptButtons::Ok, failed);
    return failed;
}

bool CAppSettings::SetModel(unsigned code) {
    if (code >= static_cast<unsigned>(kModelCount))
        return false;
    m_model = static_cast<int>(code);
    return true;
}

bool CAppSettings::SetPort(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxPortLength || !IsKnownPort(name))
        return false;
    QSerialPort port;
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite)) {
        // A device that opens but is no serial line cannot tell its line properties.
        const bool notSerial = port.error() == QSerialPort::UnsupportedOperationError;
        ShowMessage(notSerial ? kMsgPortInfo : kMsgPortOpen, PromptIcon::Warning,
                    PromptButtons::Ok);
        // 1120 only guesses why; the system's own reason says what to do about it.
        const QString reason = port.errorString();
        if (!reason.isEmpty())
            ShowMessage(kMsgPortReason, PromptIcon::Warning, PromptButtons::Ok,
                        QStringToCp932Lossy(reason));
        return false;
    }
    const bool ok9600 = port.setBaudRate(QSerialPort::Baud9600);
    port.close();
    if (!ok9600) {
        ShowMessage(kMsgPort9600, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    m_port = name;
    m_portIsDefault = false;
    return true;
}

// ---- the default port ----

namespace {

// Orders "ttyS2" before "ttyS10": the text before the trailing digits, then their value.
bool NaturalLess(const QString& a, const QString& b) {
    const auto split = [](const QString& s) {
        qsizetype digits = s.size();
        while (digits > 0 && s.at(digits - 1).isDigit())
            --digits;
        return std::make_pair(s.left(digits), s.mid(digits).toULongLong());
    };
    const auto [stemA, numberA] = split(a);
    const auto [stemB, numberB] = split(b);
    if (stemA != stemB)
        return stemA < stemB;
    return numberA != numberB ? numberA < numberB : a < b;
}

} // namespace

QString CAppSettings::ChooseDefaultPort(std::vector<PortCandidate> ports, bool* found) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortCandidate& a, const PortCandidate& b) {
                         if (a.usb != b.usb)
                             return a.usb;
                         return NaturalLess(a.name, b.name);
                     });
    if (found)
        *found = !ports.empty();
    if (!ports.empty())
        return ports.front().name;
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/ttyUSB0");
#endif
}

QString CAppSettings::DefaultPort(bool* found) {
    std::vector<PortCandidate> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        const QString name = info.portName();
        const bool usb = info.hasVendorIdentifier() || name.startsWith(QLatin1String("ttyUSB")) ||
                         name.startsWith(QLatin1String("ttyACM"));
        ports.push_back({name, usb});
    }
    return ChooseDefaultPort(std::move(ports), found);
}

QString CAppSettings::BuildFilterList() {
    m_filterNames.clear();
    QString list;
    const std::vector<FilterProgram> filters = ReadFilters();
    for (const FilterProgram& f : filters) {
        m_filterNames.append(f.name);
        list += f.name + QStringLiteral(" (*.") + f.extension + QStringLiteral(")|*.") +
                f.extension + QLatin1Char('|');
    }
    if (!filters.empty())
        list += QLatin1Char('|');
    return list;
}

QString CAppSettings::FilterNameAt(int index) const {
    return (index >= 0 && index < m_filterNames.size()) ? m_filterNames.at(index) : QString();
}

std::vector<FilterProgram> CAppSettings::ReadFilters() {
    std::vector<FilterProgram> out;
    std::unique_ptr<QSettings> s = OpenStore();
    s->beginGroup(kFilterRoot);
    const QStringList names = s->childGroups();
    s->endGroup();
    for (const QString& name : names) {
        FilterProgram f;
        if (ReadFilter(name, f))
            out.push_back(f);
    }
    return out;
}

bool CAppSettings::ReadFilter(const QString& name, FilterProgram& out) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    std::unique_ptr<QSettings> s = OpenStore();
    s->beginGroup(kFilterRoot + QLatin1Char('/') + name);
    // A filter without its extension cannot be offered in a file dialog.
    if (!s->contains(QStringLiteral("szExtension")))
        return false;
    out.name = name;
    // A filter registered with ".csv" would be offered as "*..csv".
    out.extension = FilterProgram::BareExtension(
        s->value(QStringLiteral("szExtension")).toString().left(kMaxFilterExtension));
    out.program = s->value(QStringLiteral("szFilter")).toString();
    out.perlScript =
        s->value(QStringLiteral("bPerlScript")).toString().trimmed() == QLatin1String("1");
    return true;
}

bool CAppSettings::WriteFilter(const FilterProgram& filter) {
    if (filter.name.isEmpty() || filter.name.contains(QLatin1Char('/')) ||
        filter.name.contains(QLatin1Char('\\')))
        return false;
    std::unique_ptr<QSettings> s = OpenStore();
    if (!s->isWritable())
        return false;
    s->beginGroup(kFilterRoot + QLatin1Char('/') + filter.name);
    s->setValue(QStringLiteral("szExtension"), filter.extension);
    s->setValue(QStringLiteral("szFilter"), filter.program);
    s->setValue(QStringLiteral("bPerlScript"), filter.perlScript ? 1 : 0);
    s->endGroup();
    s->sync();
    return s->status() == QSettings::NoError;
}

bool CAppSettings::RemoveFilter(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    std::unique_ptr<QSettings> s = OpenStore();
    if (!s->isWritable())
        return false;
    s->remove(kFilterRoot + QLatin1Char('/') + name);
    s->sync();
    return s->status() == QSettings::NoError;
}

} // namespace tessera
