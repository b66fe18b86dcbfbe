#include "LinkTestSupport.h"

#include "link/OpticalCom.h"
#include "support/TestApp.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace tessera::test {

namespace {
std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

LinkTiming FastTiming() {
    return LinkTiming().Scaled(0.01);
}

size_t FakePeer::Pending() const {
    size_t n = 0;
    for (const auto& b : bursts)
        n += b.size();
    return n;
}

bool FakeLine::Open(const QString&, const LineSettings& settings) {
    m_peer->events.push_back("open");
    m_peer->settings = settings;
    if (m_peer->openFails)
        return false;
    m_peer->open = true;
    return true;
}

void FakeLine::Close() {
    if (m_peer->open)
        m_peer->events.push_back("close");
    m_peer->open = false;
}

bool FakeLine::SetTimeouts(const LineTimeouts& timeouts) {
    m_peer->timeouts = timeouts;
    return true;
}

std::int64_t FakeLine::Read(char* buffer, std::int64_t count) {
    if (!m_peer->open)
        return -1;
    ++m_peer->reads;
    if (m_peer->lineErrorOnNextRead) {
        m_peer->lineErrorOnNextRead = false;
        m_lineError = true;
    }
    if (m_peer->bursts.empty() && m_peer->onIdle)
        m_peer->onIdle(*m_peer);
    if (m_peer->bursts.empty()) {
        ++m_peer->emptyReads;
        m_peer->events.push_back("read 0");
        return 0;
    }
    std::string& front = m_peer->bursts.front();
    const auto n = static_cast<std::int64_t>(std::min<size_t>(count, front.size()));
    std::memcpy(buffer, front.data(), static_cast<size_t>(n));
    if (m_peer->damages && m_peer->damages(front.substr(0, static_cast<size_t>(n))))
        m_lineError = true;
    front.erase(0, static_cast<size_t>(n));
    if (front.empty())
        m_peer->bursts.pop_front();
    return n;
}

std::int64_t FakeLine::Write(const char* buffer, std::int64_t count) {
    if (!m_peer->open || m_peer->writeFails)
        return -1;
    std::string bytes(buffer, static_cast<size_t>(count));
    m_peer->writes.push_back(bytes);
    m_peer->written += bytes;
    m_peer->events.push_back("write");
    if (m_peer->echo)
        m_peer->bursts.push_front(bytes);
    if (m_peer->onWrite)
        m_peer->onWrite(*m_peer, bytes);
    return count;
}

bool FakeLine::Purge(unsigned flags) {
    m_peer->events.push_back("purge " + std::to_string(flags));
    if (flags & PurgeInput)
        m_peer->bursts.clear();
    return true;
}

bool FakeLine::TakeLineError() {
    const bool e = m_lineError;
    m_lineError = false;
    return e;
}

PortOptions FakeOptions(const std::shared_ptr<FakePeer>& peer, bool ignoreEcho) {
    PortOptions o;
    o.timing = FastTiming();
    o.ignoreEcho = ignoreEcho;
    o.lineFactory = [peer] { return std::make_unique<FakeLine>(peer); };
    return o;
}

// ---------------------------------------------------------------------------------------

PtyPair::PtyPair() {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    slavePath = name;
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
}

PtyPair::~PtyPair() {
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
}

bool PtyPair::WriteMaster(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string PtyPair::ReadMaster(size_t count, int ms) const {
    std::string out;
    const std::int64_t deadline = NowMs() + ms;
    while (out.size() < count) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0)
            break;
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(master, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// ---------------------------------------------------------------------------------------

bool FdLine::Open(const QString&, const LineSettings&) {
    m_open = m_fd >= 0;
    return m_open;
}

bool FdLine::SetTimeouts(const LineTimeouts& timeouts) {
    m_timeouts = timeouts;
    return true;
}

std::int64_t FdLine::Read(char* buffer, std::int64_t count) {
    const std::int64_t deadline = NowMs() + m_timeouts.ReadLimitMs(count);
    std::int64_t got = 0;
    std::int64_t last = 0;
    while (got < count) {
        const std::int64_t now = NowMs();
        std::int64_t wait = deadline - now;
        if (got > 0 && m_timeouts.readIntervalMs > 0)
            wait = std::min(wait, last + m_timeouts.readIntervalMs - now);
        if (wait <= 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(wait));
        if (r < 0)
            return -1;
        if (r == 0)
            continue;
        const ssize_t n = ::read(m_fd, buffer + got, static_cast<size_t>(count - got));
        if (n < 0)
            return got > 0 ? got : -1;
        got += n;
        last = NowMs();
    }
    return got;
}

std::int64_t FdLine::Write(const char* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, buffer + done, static_cast<size_t>(count - done));
        if (n <= 0)
            return done;
        done += n;
    }
    return done;
}

bool FdLine::Purge(unsigned flags) {
    int which = -1;
    if (flags == PurgeBoth)
        which = TCIOFLUSH;
    else if (flags & PurgeInput)
        which = TCIFLUSH;
    else if (flags & PurgeOutput)
        which = TCOFLUSH;
    return which < 0 || ::tcflush(m_fd, which) == 0;
}

PortOptions FdOptions(int fd, const LinkTiming& timing) {
    PortOptions o;
    o.timing = timing;
    o.lineFactory = [fd] { return std::make_unique<FdLine>(fd); };
    return o;
}

// ---------------------------------------------------------------------------------------

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string Pattern(size_t length, unsigned seed) {
    std::string s(length, '\0');
    unsigned x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        char c = static_cast<char>((x >> 16) & 0xFF);
        if (c == 0x1A) // keep the end byte for where a test puts it
            c = 0x1B;
        s[i] = c;
    }
    return s;
}

std::string CommandPacketBytes(int code) {
    const CCommandPacket p(static_cast<std::uint8_t>(code));
    return std::string(p.Data(), static_cast<size_t>(p.Size()));
}

std::string DataPacketBytes(const std::string& data, int sequence, int lengthField, int checksum) {
    const CDataPacket p(data.data(), static_cast<int>(data.size()),
                        static_cast<std::uint16_t>(sequence));
    std::string s(p.Data(), static_cast<size_t>(p.Size()));
    if (lengthField >= 0) {
        s[13] = static_cast<char>(lengthField & 0xFF);
        s[14] = static_cast<char>((lengthField >> 8) & 0xFF);
    }
    if (checksum >= 0) {
        s[s.size() - 2] = static_cast<char>(checksum & 0xFF);
        s[s.size() - 1] = static_cast<char>((checksum >> 8) & 0xFF);
    }
    return s;
}

std::vector<ParsedPacket> ParsePackets(const std::string& bytes) {
    std::vector<ParsedPacket> out;
    const auto u = [&](size_t i) { return static_cast<int>(static_cast<unsigned char>(bytes[i])); };
    size_t i = 0;
    while (i + 8 <= bytes.size()) {
        if (!(u(i) == 0 && u(i + 1) == 0 && u(i + 2) == 0 && u(i + 3) == 0 && u(i + 4) == 0 &&
              u(i + 5) == 0x96)) {
            ++i;
            continue;
        }
        ParsedPacket p;
        p.type = u(i + 6);
        if (p.type == 0x82) {
            p.code = u(i + 7);
            out.push_back(p);
            i += 8;
            continue;
        }
        if (i + 17 > bytes.size())
            break;
        p.sequence = u(i + 8) | (u(i + 9) << 8);
        p.length = u(i + 13) | (u(i + 14) << 8);
        const size_t n = std::min<size_t>(static_cast<size_t>(p.length), 512);
        if (i + 17 + n > bytes.size())
            break;
        p.data = bytes.substr(i + 15, n);
        p.checksum = u(i + 15 + n) | (u(i + 16 + n) << 8);
        out.push_back(p);
        i += 17 + n;
    }
    return out;
}

} // namespace tessera::test

// QSerialPort wants a Qt application object on the thread that drives it.
namespace {
[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new tessera::test::CoreAppEnvironment);
} // namespace
