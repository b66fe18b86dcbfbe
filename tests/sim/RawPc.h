#pragma once
// A bare PC end for the simulator's own tests: the terminal side opened raw, with reads that
// wait a bounded time. It speaks only what each test writes out byte by byte.

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tessera::sim::test {

class RawPc {
public:
    explicit RawPc(const std::string& port, speed_t speed = B9600) {
        m_fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return;
        termios t{};
        ::tcgetattr(m_fd, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    ~RawPc() { Close(); }
    RawPc(const RawPc&) = delete;
    RawPc& operator=(const RawPc&) = delete;

    bool Ok() const { return m_fd >= 0; }
    void Close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void Write(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Up to `count` bytes, waiting at most `ms` in all.
    std::string Read(size_t count, int ms) {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[4096];
            size_t want = std::min(sizeof buf, count - out.size());
            ssize_t n = ::read(m_fd, buf, want);
            if (n > 0)
                out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

    // Everything that arrives until the line stays quiet for `quietMs`.
    std::string ReadUntilQuiet(int quietMs, int maxMs = 5000) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        while (std::chrono::steady_clock::now() < end) {
            std::string more = Read(1 << 20, quietMs);
            if (more.empty())
                break;
            out += more;
        }
        return out;
    }

private:
    int m_fd = -1;
};

} // namespace tessera::sim::test
