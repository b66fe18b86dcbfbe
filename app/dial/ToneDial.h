#pragma once
// Tessera's own tone-dial module: plays a dial text as DTMF tones on the default audio
// output, so a telephone held to the speaker (or a line adapter on the sound output) dials
// the number. Its two entry points are ToneDial and GetToneDialVersion; the rest is here
// for the dialer, the settings page and the tests.

#include "app/dial/ToneSynth.h"

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

QT_BEGIN_NAMESPACE
class QTimer;
QT_END_NAMESPACE

namespace tessera {

// Where the rendered tones go. The real one is the default audio output; tests put in one
// that records what it was given and finishes when told.
class ToneOutput {
public:
    virtual ~ToneOutput() = default;
    // True when there is somewhere to play to.
    virtual bool Available() const = 0;
    // The sample rate the tones should be rendered at.
    virtual int SampleRate() const = 0;
    // Starts playing mono 16-bit PCM. `finished(ok)` is called once, later, on this thread,
    // unless Stop() comes first. False when playing cannot start at all.
    virtual bool Play(std::vector<std::int16_t> pcm, int sampleRate,
                      std::function<void(bool ok)> finished) = 0;
    // Stops at once; `finished` is not called for a stopped play.
    virtual void Stop() = 0;
};

// The default audio output through Qt Multimedia.
std::unique_ptr<ToneOutput> MakeAudioToneOutput();

enum class ToneDialResult {
    Started,  // the tones are playing; CToneDialModule::finished follows
    Busy,     // a dial is still playing
    BadText,  // a character that cannot be dialled by tones
    NoOutput, // no audio output on this computer
    Failed,   // the output refused to start
};

class CToneDialModule : public QObject {
    Q_OBJECT
public:
    // The one module of the process (there is one sound output to share), owned by the
    // application object.
    static CToneDialModule& Instance();

    explicit CToneDialModule(QObject* parent = nullptr);
    ~CToneDialModule() override;

    // The module counts as present when an audio output exists.
    bool Available() const;
    bool Busy() const { return m_busy; }

    ToneDialResult Dial(std::string_view text);
    // Cuts a playing dial short (the editor that started it is going away).
    void Stop();

    // Replaces the output (nullptr restores the default audio output).
    void SetOutput(std::unique_ptr<ToneOutput> output);
    void SetTiming(const ToneTiming& timing) { m_timing = timing; }
    const ToneTiming& Timing() const { return m_timing; }
    // How long past its expected end a play may run before the output counts as stuck.
    void SetWatchdogSlackMs(int ms) { m_watchdogSlackMs = ms; }

signals:
    void busyChanged(bool busy);
    // A started dial has ended: every tone played (ok) or the output failed.
    void finished(bool ok);

private:
    void Finish(bool ok);
    ToneOutput& Output() const;

    mutable std::unique_ptr<ToneOutput> m_output;
    ToneTiming m_timing;
    bool m_busy = false;
    std::uint64_t m_playId = 0;
    QTimer* m_watchdog = nullptr;
    int m_watchdogSlackMs = 3000;
};

// Entry point: starts playing `text` (outside-line prefix followed by the number).
ToneDialResult ToneDial(const std::string& text);
// Entry point: the module's version, major in the low 16 bits and minor in the high 16 bits.
std::uint32_t GetToneDialVersion();
// For the about box: fills `version` and returns true while the module is present (an
// audio output exists); matches the about box's version-provider signature.
bool InstalledToneDialVersion(unsigned& version);
// "major.minor" as the about box shows it.
std::string FormatToneDialVersion(std::uint32_t version);

} // namespace tessera
