#include "sim/SimLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace tessera::sim {

namespace {

// Waits on the master for `events` until `until`, with sub-millisecond precision (pacing at
// 115 200 bps needs byte times of 87 µs). Returns the revents seen (0 on time-out).
short WaitFd(int fd, short events, Clock::time_point until) {
    auto now = Clock::now();
    auto left = until > now ? until - now : Clock::duration::zero();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    pollfd p{fd, events, 0};
    int r = ppoll(&p, 1, &ts, nullptr);
    if (r <= 0)
        return 0;
    return p.revents;
}

void SleepUntil(Clock::time_point until) {
    if (until > Clock::now())
        std::this_thread::sleep_until(until);
}

struct SpeedEntry {
    speed_t code;
    int bps;
};

constexpr SpeedEntry kSpeeds[] = {
    {B300, 300},       {B600, 600},       {B1200, 1200},     {B2400, 2400},   {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600}, {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

} // namespace

SimLine::SimLine() : m_random(1) {}

SimLine::~SimLine() {
    if (m_ownsLink)
        ::unlink(m_linkPath.c_str());
    if (m_master >= 0)
        ::close(m_master);
}

bool SimLine::Create(const std::string& linkPath, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what + ": " + std::strerror(errno);
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("cannot make a pseudo-terminal");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("cannot name the pseudo-terminal");
    m_slaveName = name;
    // Opening and closing the PC's side once puts the master in the hung-up state, which is how
    // the device later sees the PC open and close the line.
    int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0)
        return fail("cannot open " + m_slaveName);
    ::close(slave);
    int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);

    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            // Replace a stale link from an earlier run, never anything else.
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                return fail(linkPath + " exists and is not a link");
            }
            ::unlink(linkPath.c_str());
        }
        if (::symlink(m_slaveName.c_str(), linkPath.c_str()) != 0)
            return fail("cannot make the link " + linkPath);
        m_linkPath = linkPath;
        m_ownsLink = true;
    }
    return true;
}

std::string SimLine::PortName() const {
    return m_linkPath.empty() ? m_slaveName : m_linkPath;
}

void SimLine::SetOptions(const Options& options) {
    m_options = options;
    m_random.seed(options.seed);
}

int SimLine::PeerBps() const {
    return m_seenBps;
}

// Taken once, when bytes first move: by then the PC has set the line up, and later it may
// already be putting its old settings back while closing.
void SimLine::SampleSpeed() {
    if (!m_closed && m_seenBps == 0) {
        int bps = TerminalBps();
        if (bps > 0)
            m_seenBps = bps;
    }
}

int SimLine::TerminalBps() const {
    termios t{};
    if (m_master < 0 || ::tcgetattr(m_master, &t) != 0)
        return 0;
    speed_t code = ::cfgetospeed(&t);
    for (const auto& e : kSpeeds)
        if (e.code == code)
            return e.bps;
    return 0;
}

LineStatus SimLine::WaitForPeer(Clock::time_point deadline) {
    Clock::time_point openedAt{};
    bool opened = false;
    for (;;) {
        if (StopRequested())
            return LineStatus::Stopped;
        auto now = Clock::now();
        short ev = WaitFd(m_master, 0, now);
        if (ev & POLLHUP) {
            opened = false;
        } else if (!opened) {
            opened = true;
            openedAt = now;
        }
        if (opened) {
            // The PC's serial layer puts the line in raw mode right after opening; until then
            // the terminal would still echo and cook what the device writes.
            termios t{};
            bool raw = ::tcgetattr(m_master, &t) == 0 && !(t.c_lflag & ICANON);
            if (raw || now - openedAt > std::chrono::milliseconds(500)) {
                m_closed = false;
                return LineStatus::Ok;
            }
        }
        if (now >= deadline)
            return LineStatus::Timeout;
        SleepUntil(std::min(deadline, now + std::chrono::milliseconds(2)));
    }
}

std::chrono::nanoseconds SimLine::ByteTime() const {
    int bps = m_options.bps > 0 ? m_options.bps : m_seenBps > 0 ? m_seenBps : TerminalBps();
    if (!m_options.pace || bps <= 0)
        return std::chrono::nanoseconds::zero();
    return std::chrono::nanoseconds(1000000000LL * m_options.bitsPerByte / bps);
}

bool SimLine::Chance(double p) {
    if (p <= 0.0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < p;
}

LineStatus SimLine::CheckClosed(bool hungUp) {
    auto now = Clock::now();
    if (!hungUp) {
        m_closed = false;
        return LineStatus::Ok;
    }
    if (!m_closed) {
        m_closed = true;
        m_closedSince = now;
    }
    if (now - m_closedSince >= m_options.closeGrace)
        return LineStatus::Closed;
    return LineStatus::Ok;
}

LineStatus SimLine::Pull(Clock::time_point until) {
    short ev = WaitFd(m_master, POLLIN, until);
    bool hungUp = (ev & POLLHUP) != 0;
    if (ev & POLLIN) {
        std::uint8_t buf[4096];
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            if (!hungUp)
                SampleSpeed();
            auto now = Clock::now();
            auto bt = ByteTime();
            for (ssize_t i = 0; i < n; ++i) {
                Clock::time_point due = now;
                if (bt.count() > 0) {
                    due = std::max(now, m_inFreeAt) + bt;
                    m_inFreeAt = due;
                }
                m_pending.push_back({buf[i], due});
            }
            hungUp = false;
            m_closed = false;
        } else if (n < 0 && errno == EIO) {
            hungUp = true;
        }
    }
    LineStatus st = CheckClosed(hungUp);
    if (hungUp && st == LineStatus::Ok) {
        // A hung-up master polls ready at once; do not spin while the grace time runs.
        SleepUntil(std::min(until, Clock::now() + std::chrono::milliseconds(5)));
    }
    return st;
}

bool SimLine::Deliver(std::uint8_t& byte) {
    std::uint8_t original = m_pending.front().byte;
    m_pending.pop_front();
    if (m_options.echo) {
        // The adapter hears its own transmission: the PC gets back exactly what it sent.
        WriteRaw(&original, 1, Clock::now() + std::chrono::seconds(5));
        ++m_stats.echoed;
    }
    if (Chance(m_options.drop)) {
        ++m_stats.dropped;
        return false;
    }
    byte = original;
    if (Chance(m_options.flip)) {
        byte ^= static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(m_random));
        ++m_stats.flipped;
    }
    ++m_stats.bytesIn;
    return true;
}

LineStatus SimLine::ReadByte(std::uint8_t& byte, Clock::time_point deadline) {
    for (;;) {
        if (StopRequested())
            return LineStatus::Stopped;
        auto now = Clock::now();
        if (!m_pending.empty() && m_pending.front().due <= now) {
            if (Deliver(byte))
                return LineStatus::Ok;
            continue;
        }
        Clock::time_point wake = deadline;
        if (!m_pending.empty())
            wake = std::min(wake, m_pending.front().due);
        if (now >= deadline && (m_pending.empty() || m_pending.front().due > deadline))
            return LineStatus::Timeout;
        // Never sleep long in one go, so Stop is seen promptly.
        wake = std::min(wake, now + std::chrono::milliseconds(50));
        LineStatus st = Pull(wake);
        if (st == LineStatus::Closed && m_pending.empty())
            return LineStatus::Closed;
    }
}

LineStatus SimLine::WriteRaw(const std::uint8_t* data, size_t count, Clock::time_point deadline) {
    size_t done = 0;
    while (done < count) {
        if (StopRequested())
            return LineStatus::Stopped;
        ssize_t n = ::write(m_master, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            return LineStatus::Error;
        if (Clock::now() >= deadline)
            return LineStatus::Timeout;
        short ev = WaitFd(m_master, POLLOUT, Clock::now() + std::chrono::milliseconds(10));
        if (CheckClosed((ev & POLLHUP) != 0) == LineStatus::Closed)
            return LineStatus::Closed;
    }
    return LineStatus::Ok;
}

LineStatus SimLine::Write(std::string_view bytes) {
    SampleSpeed();
    // What goes on the air: each byte may be lost (it still takes its time) or corrupted.
    std::vector<std::uint8_t> air(bytes.size());
    std::vector<bool> lost(bytes.size(), false);
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<std::uint8_t>(bytes[i]);
        if (Chance(m_options.drop)) {
            ++m_stats.dropped;
            lost[i] = true;
        } else if (Chance(m_options.flip)) {
            b ^=
                static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(m_random));
            ++m_stats.flipped;
        }
        air[i] = b;
    }
    m_stats.bytesOut += static_cast<long long>(bytes.size());
    // A PC that stops reading for this long is gone.
    const auto limit = std::chrono::seconds(60);
    auto put = [&](size_t from, size_t to) {
        std::vector<std::uint8_t> kept;
        for (size_t i = from; i < to; ++i)
            if (!lost[i])
                kept.push_back(air[i]);
        return WriteRaw(kept.data(), kept.size(), Clock::now() + limit);
    };
    auto bt = ByteTime();
    if (bt.count() == 0)
        return put(0, air.size());

    // At line speed: a byte is handed over when it has finished on the air, in small batches
    // rather than one wake-up per byte.
    auto start = std::max(Clock::now(), m_outFreeAt);
    size_t sent = 0;
    while (sent < air.size()) {
        auto now = Clock::now();
        auto elapsed = now > start ? now - start : Clock::duration::zero();
        size_t due = std::min<size_t>(air.size(), static_cast<size_t>(elapsed / bt));
        if (due > sent) {
            LineStatus st = put(sent, due);
            if (st != LineStatus::Ok)
                return st;
            sent = due;
            continue;
        }
        Clock::time_point next = start + bt * static_cast<long long>(sent + 1);
        Clock::time_point soonest = now + std::chrono::microseconds(500);
        SleepUntil(std::max(next, soonest));
        if (StopRequested())
            return LineStatus::Stopped;
    }
    m_outFreeAt = start + std::chrono::duration_cast<Clock::duration>(
                              bt * static_cast<long long>(air.size()));
    return LineStatus::Ok;
}

LineStatus SimLine::DrainUntilQuiet(std::chrono::milliseconds quiet, Clock::time_point deadline) {
    for (;;) {
        auto until = std::min(deadline, Clock::now() + quiet);
        std::uint8_t b;
        LineStatus st = ReadByte(b, until);
        if (st == LineStatus::Ok)
            continue;
        if (st != LineStatus::Timeout)
            return st;
        return Clock::now() >= deadline && until == deadline ? LineStatus::Timeout : LineStatus::Ok;
    }
}

LineStatus SimLine::WaitForClose(Clock::time_point deadline) {
    for (;;) {
        std::uint8_t b;
        LineStatus st = ReadByte(b, deadline);
        if (st != LineStatus::Ok)
            return st;
    }
}

LineStatus SimLine::WaitForHangUp(Clock::time_point deadline) {
    for (;;) {
        if (StopRequested())
            return LineStatus::Stopped;
        auto now = Clock::now();
        if (WaitFd(m_master, 0, now) & POLLHUP)
            return LineStatus::Ok;
        if (now >= deadline)
            return LineStatus::Timeout;
        SleepUntil(std::min(deadline, now + std::chrono::milliseconds(1)));
    }
}

} // namespace tessera::sim
