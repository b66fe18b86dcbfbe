#include "app/dial/Dialer.h"

#include "app/dial/DialNumber.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"

#include <QDesktopServices>
#include <QProcess>

namespace tessera {

namespace {

constexpr int kMsgBadNumber = 1075;
constexpr int kMsgHandedOver = 5120;
constexpr int kMsgDialError = 5124;
constexpr int kMsgBusy = 5137;
constexpr int kMsgDeviceInUse = ids::kMsgDeviceInUse;

} // namespace

DialSettings DialSettings::From(const CAppSettings& settings) {
    // The sheet lets only dialable ASCII into the prefix; anything else would fail the
    // tone module's check and be reported there.
    return {settings.DialMethod, QStringToCp932Lossy(settings.CallOut)};
}

CDialer::CDialer(QObject* parent)
    : QObject(parent), m_openUrl(&CDialer::OpenUrlWithDesktop),
      m_probe(&CDialer::DesktopHasHandler) {}

CDialer::~CDialer() {
    HangUp();
}

CToneDialModule& CDialer::Tones() {
    if (m_tones.isNull())
        SetToneModule(&CToneDialModule::Instance());
    return *m_tones;
}

void CDialer::SetToneModule(CToneDialModule* module) {
    HangUp();
    disconnect(m_finishedConnection);
    m_tones = module;
    if (m_tones.isNull())
        return;
    m_finishedConnection = connect(m_tones, &CToneDialModule::finished, this, [this](bool ok) {
        if (!m_inCall)
            return; // another editor's call
        SetInCall(false);
        if (!ok)
            ShowMessage(kMsgDialError, PromptIcon::Warning, PromptButtons::Ok);
    });
}

DialOutcome CDialer::Dial(const std::string& number, const DialSettings& settings) {
    if (number.empty())
        return DialOutcome::Nothing;
    std::string converted;
    // A number of dashes only would hand an empty address over or play nothing at all.
    if (!ConvertDialNumber(number, converted) ||
        converted.find_first_of("0123456789") == std::string::npos) {
        ShowMessage(kMsgBadNumber, PromptIcon::Stop, PromptButtons::Ok);
        return DialOutcome::BadNumber;
    }
    if (settings.dialMethod == 1)
        return DialByTones(converted, settings.callOut);
    return DialByHandler(converted, settings.callOut);
}

DialOutcome CDialer::DialByHandler(const std::string& number, const std::string& callOut) {
    // The number holds only ASCII digits and '-', which a tel: address carries as they are.
    const QUrl url(QStringLiteral("tel:") + QString::fromLatin1(number));
    const std::optional<bool> known = m_probe ? m_probe(url.scheme()) : std::nullopt;
    const bool opened = known.value_or(true) && m_openUrl && m_openUrl(url);
    if (!opened) {
        // Nothing here takes tel: addresses (common on a desktop without a softphone): say
        // so, and offer the tone dialer, which needs only a sound output.
        if (ShowMessage(ids::kMsgDialNoHandler, PromptIcon::Question, PromptButtons::YesNo,
                        number) == PromptResult::Yes)
            return DialByTones(number, callOut);
        return DialOutcome::NoHandler;
    }
    ShowMessage(kMsgHandedOver, PromptIcon::Information, PromptButtons::Ok, number);
    return DialOutcome::HandedOver;
}

DialOutcome CDialer::DialByTones(const std::string& number, const std::string& callOut) {
    CToneDialModule& tones = Tones();
    if (m_inCall || tones.Busy()) {
        ShowMessage(kMsgBusy, PromptIcon::Stop, PromptButtons::Ok);
        return DialOutcome::Busy;
    }
    switch (tones.Dial(callOut + number)) {
    case ToneDialResult::Started:
        // The module may already have reported the end (an output with nothing to wait for).
        if (tones.Busy())
            SetInCall(true);
        return DialOutcome::TonesStarted;
    case ToneDialResult::Busy:
        ShowMessage(kMsgBusy, PromptIcon::Stop, PromptButtons::Ok);
        return DialOutcome::Busy;
    case ToneDialResult::NoOutput:
        ShowMessage(ids::kMsgDialNoSound, PromptIcon::Stop, PromptButtons::Ok);
        return DialOutcome::NoSound;
    case ToneDialResult::BadText:
    case ToneDialResult::Failed:
        break;
    }
    ShowMessage(kMsgDialError, PromptIcon::Warning, PromptButtons::Ok);
    return DialOutcome::Failed;
}

bool CDialer::ConfirmClose() {
    if (!m_inCall)
        return true;
    ShowMessage(kMsgDeviceInUse, PromptIcon::Warning, PromptButtons::Ok);
    return false;
}

void CDialer::HangUp() {
    if (!m_inCall)
        return;
    SetInCall(false);
    if (!m_tones.isNull())
        m_tones->Stop();
}

void CDialer::SetInCall(bool inCall) {
    if (m_inCall == inCall)
        return;
    m_inCall = inCall;
    emit callStateChanged(inCall);
}

bool CDialer::OpenUrlWithDesktop(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::optional<bool> CDialer::DesktopHasHandler(const QString& scheme) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    // Here opening a URL only starts the desktop's opener, which succeeds whether or not
    // anything handles the scheme; ask the desktop's own association database first.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForStarted(2000))
        return std::nullopt;
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(scheme);
    return std::nullopt;
#endif
}

} // namespace tessera
