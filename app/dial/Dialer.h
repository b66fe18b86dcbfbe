#pragma once
// The dial button of the phone book and business card editors. One CDialer lives in each
// open editor: it converts the number, hands it to the desktop's telephony handler
// (DialMethod 0) or plays it as tones through Tessera's tone-dial module (DialMethod 1),
// shows the messages, and knows whether a call it started is still going.

#include "app/dial/ToneDial.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

namespace tessera {

class CAppSettings;

struct DialSettings {
    int dialMethod = 0;  // 1 = tones on the sound output, anything else = telephony handler
    std::string callOut; // outside-line prefix (code page 932), put before a tone-dialled number

    // The current DialMethod and CallOut of the application's settings.
    static DialSettings From(const CAppSettings& settings);
};

enum class DialOutcome {
    Nothing,      // empty number: nothing happens
    BadNumber,    // 1075 shown (a character that is not dialable, too long, or no digit)
    HandedOver,   // the telephony handler took the call; 5120 shown
    NoHandler,    // no telephony handler; the offer of tones was declined
    TonesStarted, // tones are playing
    Busy,         // a call is still going; 5137 shown
    NoSound,      // tones asked for, but no sound output; said so
    Failed,       // 5124 shown
};

class CDialer : public QObject {
    Q_OBJECT
public:
    // Opens a URL with the desktop; false when nothing could take it.
    using UrlOpener = std::function<bool(const QUrl&)>;
    // Whether the desktop has a handler for a URL scheme; no value when it cannot tell.
    using HandlerProbe = std::function<std::optional<bool>(const QString& scheme)>;

    explicit CDialer(QObject* parent = nullptr);
    // A call still playing is cut short: its editor is gone.
    ~CDialer() override;

    // The dial button: `number` is the editor's telephone number text (code page 932).
    DialOutcome Dial(const std::string& number, const DialSettings& settings);

    // True while tones this dialer started are still playing.
    bool InCall() const { return m_inCall; }
    // The editor's OK: refused with 5142 while a call is going (returns false then).
    bool ConfirmClose();
    // Ends a call this dialer started.
    void HangUp();

    void SetUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    void SetHandlerProbe(HandlerProbe probe) { m_probe = std::move(probe); }
    // The tone module to use (the process-wide one unless a test gives its own).
    void SetToneModule(CToneDialModule* module);

    // The desktop's own answers (QDesktopServices, and the shared-mime database where the
    // platform has one).
    static bool OpenUrlWithDesktop(const QUrl& url);
    static std::optional<bool> DesktopHasHandler(const QString& scheme);

signals:
    void callStateChanged(bool inCall);

private:
    DialOutcome DialByHandler(const std::string& number, const std::string& callOut);
    DialOutcome DialByTones(const std::string& number, const std::string& callOut);
    void SetInCall(bool inCall);
    CToneDialModule& Tones();

    UrlOpener m_openUrl;
    HandlerProbe m_probe;
    QPointer<CToneDialModule> m_tones; // the module may go before an editor at exit
    QMetaObject::Connection m_finishedConnection;
    bool m_inCall = false;
};

} // namespace tessera
