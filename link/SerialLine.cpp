#include "link/SerialLine.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSerialPort>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace tessera {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// While a cancel check is set, waits are cut into slices so a cancel is seen quickly.
constexpr int kCancelSliceMs = 50;

bool LineFailed(const QSerialPort& port) {
    switch (port.error()) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return false;
    default:
        return true;
    }
}

} // namespace

SerialLine::SerialLine() = default;

SerialLine::~SerialLine() {
    Close();
}

bool SerialLine::Open(const QString& portName, const LineSettings& settings) {
    Close();
    m_lastError.clear();
    // QSerialPort sets up socket notifiers at open; on a plain worker thread they need an
    // event dispatcher or Qt warns on every open. The waits here never run an event loop,
    // so an idle dispatcher is all it takes (making a QEventLoop creates one).
    if (QCoreApplication::instance() != nullptr && QAbstractEventDispatcher::instance() == nullptr)
        QEventLoop makesDispatcher;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(portName);
    if (!port->open(QIODevice::ReadWrite)) {
        m_lastError = port->errorString();
        return false;
    }
    const auto fail = [&](const char* what) {
        m_lastError = QString::fromLatin1(what) + QStringLiteral(": ") + port->errorString();
        port->close();
        return false;
    };
    if (!port->setBaudRate(settings.bitsPerSecond))
        return fail("speed");
    if (!port->setDataBits(QSerialPort::Data8))
        return fail("data bits");
    if (!port->setParity(settings.parity == LineParity::Odd ? QSerialPort::OddParity
                                                            : QSerialPort::NoParity))
        return fail("parity");
    if (!port->setStopBits(QSerialPort::OneStop))
        return fail("stop bits");
    if (!port->setFlowControl(settings.hardwareFlow ? QSerialPort::HardwareControl
                                                    : QSerialPort::NoFlowControl))
        return fail("flow control");
    // Modem lines: an infrared adapter may draw its power from them. A pseudo-terminal has
    // none and refuses the calls; that is no reason to fail.
    if (settings.setDtr)
        port->setDataTerminalReady(true);
    if (settings.setRts && !settings.hardwareFlow)
        port->setRequestToSend(true);
    port->clearError();
    m_port = std::move(port);

    m_hasErrorCounters = false;
    std::int64_t counters[4];
    ReadErrorCounters(counters);
    std::copy(std::begin(counters), std::end(counters), std::begin(m_errorBase));
    return true;
}

void SerialLine::Close() {
    if (m_port) {
        if (m_port->isOpen())
            m_port->close();
        m_port.reset();
    }
    m_hasErrorCounters = false;
}

bool SerialLine::IsOpen() const {
    return m_port && m_port->isOpen();
}

bool SerialLine::SetTimeouts(const LineTimeouts& timeouts) {
    m_timeouts = timeouts;
    return true;
}

void SerialLine::SetCancelCheck(std::function<bool()> cancelled) {
    m_cancelled = std::move(cancelled);
}

std::int64_t SerialLine::Read(char* buffer, std::int64_t count) {
    if (!IsOpen())
        return -1;
    if (count <= 0)
        return 0;
    const std::int64_t start = NowMs();
    const std::int64_t totalDeadline = start + m_timeouts.ReadLimitMs(count);
    std::int64_t got = 0;
    std::int64_t lastByteAt = 0;
    for (;;) {
        const qint64 n = m_port->read(buffer + got, count - got);
        if (n < 0)
            return -1;
        if (n > 0) {
            got += n;
            lastByteAt = NowMs();
        }
        if (got == count)
            break;
        const std::int64_t now = NowMs();
        std::int64_t wait = totalDeadline - now;
        if (got > 0 && m_timeouts.readIntervalMs > 0)
            wait = std::min(wait, lastByteAt + m_timeouts.readIntervalMs - now);
        if (wait <= 0)
            break;
        if (m_cancelled) {
            if (m_cancelled())
                break;
            wait = std::min<std::int64_t>(wait, kCancelSliceMs);
        }
        if (!m_port->waitForReadyRead(static_cast<int>(wait))) {
            if (LineFailed(*m_port) || !m_port->isOpen())
                return got > 0 ? got : -1;
            m_port->clearError();
        }
    }
    return got;
}

std::int64_t SerialLine::Write(const char* buffer, std::int64_t count) {
    if (!IsOpen())
        return -1;
    if (count <= 0)
        return 0;
    const std::int64_t deadline = NowMs() + m_timeouts.WriteLimitMs(count);
    if (m_port->write(buffer, count) != count)
        return -1;
    const std::int64_t left = Untransmitted(deadline);
    if (left != 0) {
        // Whatever did not leave in time must not go out later, in the middle of a retry.
        m_port->clear(QSerialPort::Output);
        m_port->clearError();
        if (left < 0 || !m_port->isOpen())
            return -1;
        return std::max<std::int64_t>(0, count - left);
    }
    return count;
}

bool SerialLine::Flush() {
    if (!IsOpen())
        return false;
    return Untransmitted(NowMs() + m_timeouts.WriteLimitMs(0)) == 0;
}

std::int64_t SerialLine::Untransmitted(std::int64_t deadlineMs) {
    while (m_port->bytesToWrite() > 0) {
        const std::int64_t wait = deadlineMs - NowMs();
        if (wait <= 0)
            return m_port->bytesToWrite();
        if (!m_port->waitForBytesWritten(static_cast<int>(wait))) {
            if (LineFailed(*m_port) || !m_port->isOpen())
                return -1;
            m_port->clearError();
        }
    }
#ifdef Q_OS_UNIX
    // Qt has handed the bytes to the driver; a write means they have left the port, so the
    // pauses around the end mark and after each packet are real pauses on the line. With the
    // handshake on, a device that never raises CTS would hold tcdrain for ever, so the
    // driver's queue is watched against the time-out first.
    const int fd = static_cast<int>(m_port->handle());
    if (fd >= 0) {
#ifdef TIOCOUTQ
        int queued = 0;
        while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
            if (NowMs() >= deadlineMs)
                return queued;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
#endif
        // Only the UART's own FIFO can be left now; tcdrain waits for it.
        while (::tcdrain(fd) != 0 && errno == EINTR) {
        }
    }
#endif
    return 0;
}

bool SerialLine::Purge(unsigned flags) {
    if (!IsOpen())
        return false;
    QSerialPort::Directions dirs;
    if (flags & PurgeInput)
        dirs |= QSerialPort::Input;
    if (flags & PurgeOutput)
        dirs |= QSerialPort::Output;
    const bool ok = m_port->clear(dirs);
    m_port->clearError();
    return ok;
}

void SerialLine::ReadErrorCounters(std::int64_t (&counters)[4]) {
    std::fill(std::begin(counters), std::end(counters), 0);
#if defined(Q_OS_LINUX) && defined(TIOCGICOUNT)
    if (!m_port)
        return;
    serial_icounter_struct ic{};
    if (::ioctl(static_cast<int>(m_port->handle()), TIOCGICOUNT, &ic) == 0) {
        m_hasErrorCounters = true;
        counters[0] = ic.frame;
        counters[1] = ic.parity;
        counters[2] = ic.overrun;
        counters[3] = ic.buf_overrun;
    }
#endif
}

bool SerialLine::TakeLineError() {
    if (!IsOpen() || !m_hasErrorCounters)
        return false;
    std::int64_t now[4];
    ReadErrorCounters(now);
    bool seen = false;
    for (int i = 0; i < 4; ++i) {
        if (now[i] > m_errorBase[i])
            seen = true;
        m_errorBase[i] = now[i];
    }
    return seen;
}

// ---------------------------------------------------------------------------------------

struct LineTrace::Impl {
    QFile file;
    QElapsedTimer clock;
    std::mutex mutex;
};

LineTrace::LineTrace(const QString& path) : m_impl(std::make_unique<Impl>()) {
    m_impl->file.setFileName(path);
    if (m_impl->file.open(QIODevice::WriteOnly | QIODevice::Append))
        m_impl->clock.start();
}

LineTrace::~LineTrace() = default;

bool LineTrace::IsOpen() const {
    return m_impl->file.isOpen();
}

void LineTrace::Log(const char* what, const char* bytes, std::int64_t count, const QString& note) {
    std::lock_guard lock(m_impl->mutex);
    if (!m_impl->file.isOpen())
        return;
    const double elapsed = static_cast<double>(m_impl->clock.nsecsElapsed()) / 1e9;
    QByteArray head = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1();
    head += ' ';
    head += QByteArray::number(elapsed, 'f', 3).rightJustified(9, ' ');
    head += ' ';
    head += QByteArray(what).leftJustified(6, ' ');
    if (bytes != nullptr || count != 0) {
        head += ' ';
        head += QByteArray::number(static_cast<qlonglong>(count)).rightJustified(4, ' ');
    }
    if (!note.isEmpty()) {
        head += ' ';
        head += note.toUtf8();
    }
    QByteArray out;
    constexpr int kPerLine = 32;
    if (bytes == nullptr || count <= 0) {
        out = head + '\n';
    } else {
        for (std::int64_t i = 0; i < count; i += kPerLine) {
            const auto n = static_cast<qsizetype>(std::min<std::int64_t>(kPerLine, count - i));
            out += i == 0 ? head : QByteArray(head.size(), ' ');
            out += " : ";
            out += QByteArray(bytes + i, n).toHex(' ');
            out += '\n';
        }
    }
    m_impl->file.write(out);
    m_impl->file.flush();
}

// ---------------------------------------------------------------------------------------

TracedLine::TracedLine(std::unique_ptr<ILine> inner, std::shared_ptr<LineTrace> trace)
    : m_inner(std::move(inner)), m_trace(std::move(trace)) {}

bool TracedLine::Open(const QString& portName, const LineSettings& settings) {
    const bool ok = m_inner->Open(portName, settings);
    m_trace->Log("open", nullptr, 0,
                 QStringLiteral("%1 %2 bps parity %3 rtscts %4 -> %5")
                     .arg(portName)
                     .arg(settings.bitsPerSecond)
                     .arg(settings.parity == LineParity::Odd ? QStringLiteral("odd")
                                                             : QStringLiteral("none"))
                     .arg(settings.hardwareFlow ? 1 : 0)
                     .arg(ok ? QStringLiteral("ok") : QStringLiteral("FAILED")));
    return ok;
}

void TracedLine::Close() {
    if (m_inner->IsOpen())
        m_trace->Log("close");
    m_inner->Close();
}

bool TracedLine::SetTimeouts(const LineTimeouts& t) {
    m_trace->Log("tmo", nullptr, 0,
                 QStringLiteral("interval %1 ms, read %2 ms + %3 us/byte, write %4 ms + %5 "
                                "us/byte")
                     .arg(t.readIntervalMs)
                     .arg(t.readTotalMs)
                     .arg(t.readPerByteUs)
                     .arg(t.writeTotalMs)
                     .arg(t.writePerByteUs));
    return m_inner->SetTimeouts(t);
}

std::int64_t TracedLine::Read(char* buffer, std::int64_t count) {
    const std::int64_t n = m_inner->Read(buffer, count);
    if (n < 0)
        m_trace->Log("read", nullptr, 0, QStringLiteral("of %1 FAILED").arg(count));
    else if (n == 0)
        m_trace->Log("read", nullptr, 0, QStringLiteral("of %1: time-out").arg(count));
    else
        m_trace->Log("read", buffer, n);
    return n;
}

std::int64_t TracedLine::Write(const char* buffer, std::int64_t count) {
    const std::int64_t n = m_inner->Write(buffer, count);
    m_trace->Log("write", buffer, count,
                 n == count ? QString() : QStringLiteral("(only %1 sent)").arg(n));
    return n;
}

bool TracedLine::Flush() {
    return m_inner->Flush();
}

bool TracedLine::Purge(unsigned flags) {
    m_trace->Log("purge", nullptr, 0, QStringLiteral("flags %1").arg(flags));
    return m_inner->Purge(flags);
}

bool TracedLine::TakeLineError() {
    const bool e = m_inner->TakeLineError();
    if (e)
        m_trace->Log("error", nullptr, 0, QStringLiteral("framing/parity/overrun"));
    return e;
}

void TracedLine::SetCancelCheck(std::function<bool()> cancelled) {
    m_inner->SetCancelCheck(std::move(cancelled));
}

} // namespace tessera
