// zaurus-sim: a simulated PDA on a pseudo-terminal, for trying the program without a device
// and for scripted end-to-end runs. It plays one exchange and says how it went by exit code:
// 0 completed, 1 the exchange failed, 2 bad command line, 3 setup failed (line or files).
// The first line on stdout is "ready PATH"; with --auto a second one says which part the
// PC chose ("played send", "played receive" or "played pclink"). --send given more than once
// plays a backup: the files go out one after another, --gap seconds apart.

#include "sim/SimDevice.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace tessera::sim;

namespace {

const char kUsage[] =
    "usage: zaurus-sim --link PATH [--method cable|ir] [--echo] [--bps N] [--pace]\n"
    "                  (--send FILE.tsr | --receive OUT.tsr | --pclink DIR [--nifadr]\n"
    "                   [--has NAME]... [--no-addin] | --auto FILE.tsr)\n"
    "                  [--drop P] [--flip P] [--seed N] [--mute] [--time-scale F]\n"
    "                  [--stale-ack N]... [--gap SECONDS]\n"
    "\n"
    "Makes a serial line at PATH, prints \"ready PATH\", waits for the PC to open it and\n"
    "plays one exchange as the device:\n"
    "  --send FILE     send FILE as a record stream (as when the user starts a send);\n"
    "                  given again, the files go out one after another, each once the PC\n"
    "                  has opened the line again and --gap seconds (default 3) passed\n"
    "  --receive OUT   take a record stream and write it to OUT\n"
    "  --pclink DIR    answer the PC link of an add-in transfer; files go to DIR/S1/...\n"
    "  --auto FILE     whichever the PC starts: send FILE when the PC receives, take the\n"
    "                  PC's stream into FILE when it sends, answer a PC link (files kept\n"
    "                  in memory only)\n"
    "  --nifadr        S7:NIFADR.BOX exists        --has NAME   S1:NAME exists\n"
    "  --no-addin      refuse the add-in support check (these three: --pclink, --auto)\n"
    "  --method        cable (default) or ir       --bps N      cable speed to expect\n"
    "  --echo          the infrared adapter echoes what the PC sends\n"
    "  --pace          bytes take their line time (10 bits a byte, 11 on infrared)\n"
    "  --drop P / --flip P   lose / corrupt each byte on the air with probability P\n"
    "  --seed N        seed for the faults         --mute       never answer\n"
    "  --time-scale F  multiply every pause and time-out of the device by F\n"
    "  --stale-ack N   PC link: data frame N (from 0, in the order they arrive) comes in\n"
    "                  damaged; its NAK has a stray ACK behind it, and the device is deaf\n"
    "                  until the line has been quiet a moment\n";

SimDevice* g_device = nullptr;

extern "C" void OnSignal(int) {
    if (g_device)
        g_device->Stop();
}

int Usage(const std::string& why) {
    std::cerr << "zaurus-sim: " << why << "\n" << kUsage;
    return 2;
}

bool ParseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

bool ParseInt(const std::string& text, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0';
}

// Writes the received stream next to OUT first, so a failure never leaves OUT half-written.
bool WriteWhole(const std::string& path, const std::string& data, std::string& error) {
    std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        error = "cannot write " + path + ": " + ec.message();
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// What the command line asks for.
struct Options {
    SimConfig config;
    std::string receiveFile, pclinkDir, autoFile;
    std::vector<std::string> sendFiles;
    int roles = 0;
    bool pclinkOnly = false; // an option that only a PC link uses was given
    double timeScale = 1.0;
};

// What an option parser did with args[i]: took it (and its value), left it to another, or
// ended the run with an exit code (0 or above).
constexpr int kTaken = -1;
constexpr int kNotMine = -2;

// The arguments, read one option at a time; `i` moves past an option's value.
class Args {
public:
    Args(int argc, char** argv) : m_args(argv + 1, argv + argc) {}
    bool More() const { return m_i < m_args.size(); }
    const std::string& Current() const { return m_args[m_i]; }
    void Advance() { ++m_i; }
    // The value after the current option; false when there is none.
    bool Value(std::string& out) {
        if (m_i + 1 >= m_args.size())
            return false;
        out = m_args[++m_i];
        return true;
    }

private:
    std::vector<std::string> m_args;
    std::size_t m_i = 0;
};

// The line: where, which method, how fast.
int ParseLineOption(const std::string& a, Args& args, Options& o) {
    SimConfig& config = o.config;
    std::string v;
    if (a == "--link") {
        if (!args.Value(config.linkPath) || config.linkPath.empty())
            return Usage("--link needs a path");
    } else if (a == "--method") {
        if (!args.Value(v))
            return Usage("--method needs cable or ir");
        if (v == "cable")
            config.method = SimMethod::Cable;
        else if (v == "ir")
            config.method = SimMethod::Infrared;
        else
            return Usage("unknown method '" + v + "' (cable or ir)");
    } else if (a == "--echo") {
        config.echo = true;
    } else if (a == "--bps") {
        long long n = 0;
        if (!args.Value(v) || !ParseInt(v, n) || n <= 0 || n > 4000000)
            return Usage("--bps needs a positive speed");
        config.bps = static_cast<int>(n);
    } else if (a == "--pace") {
        config.pace = true;
    } else {
        return kNotMine;
    }
    return kTaken;
}

// The part the device plays, and what a PC link finds on it.
int ParseRoleOption(const std::string& a, Args& args, Options& o) {
    SimConfig& config = o.config;
    std::string v;
    const auto role = [&](std::string& file, SimRole r, const char* why) {
        if (!args.Value(file))
            return Usage(why);
        config.role = r;
        ++o.roles;
        return kTaken;
    };
    if (a == "--send") {
        std::string file;
        if (!args.Value(file))
            return Usage("--send needs a file");
        config.role = SimRole::Send;
        if (o.sendFiles.empty())
            ++o.roles;
        o.sendFiles.push_back(file);
        return kTaken;
    }
    if (a == "--gap") {
        double seconds = 0;
        if (!args.Value(v) || !ParseNumber(v, seconds) || seconds < 0.0 || seconds > 86400.0)
            return Usage("--gap needs a number of seconds");
        config.sendGap = std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
        return kTaken;
    }
    if (a == "--receive")
        return role(o.receiveFile, SimRole::Receive, "--receive needs a file");
    if (a == "--pclink")
        return role(o.pclinkDir, SimRole::PcLink, "--pclink needs a folder");
    if (a == "--auto")
        return role(o.autoFile, SimRole::Auto, "--auto needs a file");
    if (a == "--nifadr") {
        config.nifadr = true;
    } else if (a == "--has") {
        if (!args.Value(v) || v.empty())
            return Usage("--has needs a file name");
        config.has.push_back(v);
    } else if (a == "--no-addin") {
        config.noAddin = true;
    } else {
        return kNotMine;
    }
    o.pclinkOnly = true;
    return kTaken;
}

// Faults on the air and the device's pace.
int ParseFaultOption(const std::string& a, Args& args, Options& o) {
    SimConfig& config = o.config;
    std::string v;
    if (a == "--drop" || a == "--flip") {
        double p = 0;
        if (!args.Value(v) || !ParseNumber(v, p) || p < 0.0 || p > 1.0)
            return Usage(a + " needs a probability from 0 to 1");
        (a == "--drop" ? config.faults.drop : config.faults.flip) = p;
    } else if (a == "--seed") {
        long long n = 0;
        if (!args.Value(v) || !ParseInt(v, n) || n < 0 || n > 0xFFFFFFFFLL)
            return Usage("--seed needs a number");
        config.faults.seed = static_cast<std::uint32_t>(n);
    } else if (a == "--stale-ack") {
        long long n = 0;
        if (!args.Value(v) || !ParseInt(v, n) || n < 0 || n > 0x7FFFFFFF)
            return Usage("--stale-ack needs a frame number from 0");
        config.faults.staleAckFrames.insert(static_cast<int>(n));
    } else if (a == "--mute") {
        config.faults.mute = true;
    } else if (a == "--time-scale") {
        if (!args.Value(v) || !ParseNumber(v, o.timeScale) || o.timeScale <= 0.0 ||
            o.timeScale > 100.0)
            return Usage("--time-scale needs a positive factor");
    } else {
        return kNotMine;
    }
    return kTaken;
}

// Reads the command line into `o`; kTaken when the run goes on, else its exit code.
int ParseOptions(int argc, char** argv, Options& o) {
    for (Args args(argc, argv); args.More(); args.Advance()) {
        const std::string a = args.Current();
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        int r = ParseLineOption(a, args, o);
        if (r == kNotMine)
            r = ParseRoleOption(a, args, o);
        if (r == kNotMine)
            r = ParseFaultOption(a, args, o);
        if (r == kNotMine)
            return Usage("unknown option '" + a + "'");
        if (r != kTaken)
            return r;
    }
    SimConfig& config = o.config;
    if (config.linkPath.empty())
        return Usage("--link PATH is required");
    if (o.roles != 1)
        return Usage("give exactly one of --send, --receive, --pclink, --auto");
    if (o.pclinkOnly && config.role != SimRole::PcLink && config.role != SimRole::Auto)
        return Usage("--nifadr, --has and --no-addin go with --pclink or --auto");
    if (config.echo && config.method == SimMethod::Cable)
        std::cerr << "zaurus-sim: --echo has no effect on the cable\n";
    if (o.timeScale != 1.0) {
        auto peerWait = config.timing.peerWait;
        config.timing = config.timing.Scaled(o.timeScale);
        config.timing.peerWait = peerWait;
    }
    return kTaken;
}

// The file to send and the folder a PC link stores into; false (having said why) when
// either cannot be used.
bool PrepareFiles(Options& o) {
    SimConfig& config = o.config;
    const auto read = [](const std::string& file, std::string& data) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << "zaurus-sim: cannot read " << file << "\n";
            return false;
        }
        data.assign(std::istreambuf_iterator<char>(in), {});
        return true;
    };
    if (config.role == SimRole::Auto && !read(o.autoFile, config.sendData))
        return false;
    if (config.role == SimRole::Send) {
        for (std::size_t i = 0; i < o.sendFiles.size(); ++i) {
            std::string data;
            if (!read(o.sendFiles[i], data))
                return false;
            if (i == 0)
                config.sendData = std::move(data);
            else
                config.moreSends.push_back(std::move(data));
        }
    }
    if (config.role == SimRole::Auto)
        o.receiveFile = o.autoFile;
    if (config.role == SimRole::PcLink) {
        std::error_code ec;
        std::filesystem::create_directories(o.pclinkDir, ec);
        if (!std::filesystem::is_directory(o.pclinkDir, ec)) {
            std::cerr << "zaurus-sim: cannot use the folder " << o.pclinkDir << "\n";
            return false;
        }
        config.storeDir = o.pclinkDir;
    }
    return true;
}

// Says on stderr what a completed exchange did.
void ReportCompleted(const Options& o, const SimResult& result) {
    switch (result.played) {
    case SimRole::Send:
        std::cerr << "zaurus-sim: sent " << o.config.sendData.size() << " bytes\n";
        for (const std::string& more : o.config.moreSends)
            std::cerr << "zaurus-sim: sent " << more.size() << " bytes\n";
        break;
    case SimRole::Receive:
        std::cerr << "zaurus-sim: received " << result.received.size() << " bytes into "
                  << o.receiveFile << "\n";
        break;
    case SimRole::PcLink:
        std::cerr << "zaurus-sim: PC link ended; " << result.stored.size() << " file(s) stored\n";
        for (const auto& [name, data] : result.stored)
            std::cerr << "  " << name << " (" << data.size() << " bytes)\n";
        break;
    case SimRole::Auto:
        break;
    }
}

// Opens the line, plays the exchange and keeps what was received; the exit code.
int Play(const Options& o) {
    const SimConfig& config = o.config;
    SimDevice device(config);
    std::string error;
    if (!device.Open(&error)) {
        std::cerr << "zaurus-sim: " << error << "\n";
        return 3;
    }
    g_device = &device;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::cout << "ready " << config.linkPath << std::endl;
    SimResult result = device.Run();
    g_device = nullptr;

    if (config.role == SimRole::Auto && result.played != SimRole::Auto) {
        const char* part = result.played == SimRole::Send      ? "send"
                           : result.played == SimRole::Receive ? "receive"
                                                               : "pclink";
        std::cout << "played " << part << std::endl;
    }
    if (result.completed && result.played == SimRole::Receive &&
        !WriteWhole(o.receiveFile, result.received, error)) {
        std::cerr << "zaurus-sim: " << error << "\n";
        return 3;
    }
    if (!result.completed) {
        std::cerr << "zaurus-sim: " << (result.error.empty() ? "the exchange failed" : result.error)
                  << "\n";
        return 1;
    }
    ReportCompleted(o, result);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = ParseOptions(argc, argv, options); code != kTaken)
        return code;
    if (!PrepareFiles(options))
        return 3;
    return Play(options);
}
