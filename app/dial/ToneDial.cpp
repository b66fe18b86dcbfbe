#include "app/dial/ToneDial.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QTimer>
#include <cstdio>

namespace tessera {

namespace {

constexpr std::uint32_t kVersionMajor = 1;
constexpr std::uint32_t kVersionMinor = 0;

// Lays mono 16-bit samples out in whatever sample format and channel count the output
// wants, so the tones play on outputs that offer neither 16 bits nor mono.
QByteArray EncodeForFormat(const std::vector<std::int16_t>& pcm, const QAudioFormat& format) {
    const int channels = std::max(1, format.channelCount());
    QByteArray out;
    out.reserve(static_cast<qsizetype>(pcm.size()) * channels * format.bytesPerSample());
    for (std::int16_t s : pcm) {
        for (int c = 0; c < channels; ++c) {
            switch (format.sampleFormat()) {
            case QAudioFormat::UInt8: {
                const auto v = static_cast<std::uint8_t>((s >> 8) + 128);
                out.append(static_cast<char>(v));
                break;
            }
            case QAudioFormat::Int32: {
                const std::int32_t v = static_cast<std::int32_t>(s) * 65536;
                out.append(reinterpret_cast<const char*>(&v), sizeof v);
                break;
            }
            case QAudioFormat::Float: {
                const float v = static_cast<float>(s) / 32768.0F;
                out.append(reinterpret_cast<const char*>(&v), sizeof v);
                break;
            }
            default:
                out.append(reinterpret_cast<const char*>(&s), sizeof s);
                break;
            }
        }
    }
    return out;
}

class AudioToneOutput final : public ToneOutput {
public:
    ~AudioToneOutput() override { Stop(); }

    bool Available() const override { return !QMediaDevices::defaultAudioOutput().isNull(); }

    int SampleRate() const override {
        return ChooseFormat(QMediaDevices::defaultAudioOutput()).sampleRate();
    }

    bool Play(std::vector<std::int16_t> pcm, int sampleRate,
              std::function<void(bool ok)> finished) override {
        Stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format = ChooseFormat(device);
        if (format.sampleRate() != sampleRate)
            return false; // rendered for another rate; the module renders at SampleRate()
        m_finished = std::move(finished);
        m_buffer = std::make_unique<QBuffer>();
        m_buffer->setData(EncodeForFormat(pcm, format));
        m_buffer->open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(device, format);
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, m_sink.get(),
                         [this](QAudio::State state) { OnState(state); });
        m_sink->start(m_buffer.get());
        if (m_sink->error() != QAudio::NoError && m_sink->state() == QAudio::StoppedState) {
            m_finished = nullptr;
            Stop();
            return false;
        }
        return true;
    }

    void Stop() override {
        m_finished = nullptr;
        if (m_sink) {
            m_sink->disconnect();
            m_sink->stop();
        }
        m_sink.reset();
        m_buffer.reset();
    }

private:
    static QAudioFormat ChooseFormat(const QAudioDevice& device) {
        QAudioFormat format = device.preferredFormat();
        QAudioFormat int16 = format;
        int16.setSampleFormat(QAudioFormat::Int16);
        if (device.isFormatSupported(int16))
            format = int16;
        if (format.sampleRate() <= 0)
            format.setSampleRate(48000);
        return format;
    }

    void OnState(QAudio::State state) {
        // Idle: the buffer is drained, every tone has been played. Stopped with an error:
        // the output went away or refused the data.
        if (state == QAudio::IdleState) {
            Done(true);
        } else if (state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError) {
            Done(false);
        }
    }

    void Done(bool ok) {
        auto finished = std::move(m_finished);
        m_finished = nullptr;
        // The sink may not be destroyed inside its own signal.
        if (m_sink) {
            m_sink->disconnect();
            QAudioSink* sink = m_sink.release();
            sink->stop();
            sink->deleteLater();
        }
        if (m_buffer) {
            QBuffer* buffer = m_buffer.release();
            buffer->deleteLater();
        }
        if (finished)
            finished(ok);
    }

    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
    std::function<void(bool)> m_finished;
};

QPointer<CToneDialModule>& InstancePointer() {
    static QPointer<CToneDialModule> instance;
    return instance;
}

} // namespace

std::unique_ptr<ToneOutput> MakeAudioToneOutput() {
    return std::make_unique<AudioToneOutput>();
}

CToneDialModule& CToneDialModule::Instance() {
    QPointer<CToneDialModule>& p = InstancePointer();
    if (p.isNull())
        p = new CToneDialModule(QCoreApplication::instance());
    return *p;
}

CToneDialModule::CToneDialModule(QObject* parent) : QObject(parent), m_watchdog(new QTimer(this)) {
    m_watchdog->setSingleShot(true);
    connect(m_watchdog, &QTimer::timeout, this, [this] {
        if (!m_busy)
            return;
        Output().Stop();
        Finish(false);
    });
}

CToneDialModule::~CToneDialModule() {
    if (m_output)
        m_output->Stop();
}

ToneOutput& CToneDialModule::Output() const {
    if (!m_output)
        m_output = MakeAudioToneOutput();
    return *m_output;
}

bool CToneDialModule::Available() const {
    return Output().Available();
}

void CToneDialModule::SetOutput(std::unique_ptr<ToneOutput> output) {
    Stop();
    m_output = std::move(output);
}

ToneDialResult CToneDialModule::Dial(std::string_view text) {
    if (m_busy)
        return ToneDialResult::Busy;
    const auto steps = ParseToneDialText(text, m_timing);
    if (!steps)
        return ToneDialResult::BadText;
    ToneOutput& out = Output();
    if (!out.Available())
        return ToneDialResult::NoOutput;
    const int rate = out.SampleRate();
    std::vector<std::int16_t> pcm = RenderToneSteps(*steps, rate, m_timing);
    const std::uint64_t id = ++m_playId;
    const std::int64_t expected = ToneStepsDurationMs(*steps, m_timing) + m_watchdogSlackMs;
    // Busy before Play: an output that reports the end at once must still find it set.
    m_busy = true;
    m_watchdog->start(static_cast<int>(std::min<std::int64_t>(expected, 24 * 3600 * 1000)));
    emit busyChanged(true);
    const bool started = out.Play(std::move(pcm), rate, [this, id](bool ok) {
        if (m_busy && id == m_playId)
            Finish(ok);
    });
    if (!started) {
        ++m_playId;
        m_busy = false;
        m_watchdog->stop();
        emit busyChanged(false);
        return ToneDialResult::Failed;
    }
    return ToneDialResult::Started;
}

void CToneDialModule::Stop() {
    if (m_output)
        m_output->Stop();
    if (m_busy) {
        m_busy = false;
        m_watchdog->stop();
        emit busyChanged(false);
    }
}

void CToneDialModule::Finish(bool ok) {
    m_busy = false;
    m_watchdog->stop();
    emit busyChanged(false);
    emit finished(ok);
}

ToneDialResult ToneDial(const std::string& text) {
    return CToneDialModule::Instance().Dial(text);
}

std::uint32_t GetToneDialVersion() {
    return kVersionMajor | (kVersionMinor << 16);
}

bool InstalledToneDialVersion(unsigned& version) {
    if (!CToneDialModule::Instance().Available())
        return false;
    version = GetToneDialVersion();
    return true;
}

std::string FormatToneDialVersion(std::uint32_t version) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%d", static_cast<int>(version & 0xFFFFU),
                  static_cast<int>(version >> 16));
    return buf;
}

} // namespace tessera
