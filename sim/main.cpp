// zaurus-sim: a simulated PDA on a pseudo-terminal, for trying the program without a device
// and for scripted end-to-end runs. It plays one exchange and says how it went by exit code:
// 0 completed, 1 the exchange failed, 2 bad command line, 3 setup failed (line or files).
// The first line on stdout is "ready PATH"; with --auto a second one says which part the
// PC chose ("played send", "played receive" or "played pclink").

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

#include "sim/SimDevice.h"

using namespace tessera::sim;

namespace {

const char kUsage[] =
    "usage: zaurus-sim --link PATH [--method cable|ir] [--echo] [--bps N] [--pace]\n"
    "                  (--send FILE.tsr | --receive OUT.tsr | --pclink DIR [--nifadr]\n"
    "                   [--has NAME]... [--no-addin] | --auto FILE.tsr)\n"
    "                  [--drop P] [--flip P] [--seed N] [--mute] [--time-scale F]\n"
    "                  [--stale-ack N]...\n"
    "\n"
    "Makes a serial line at PATH, prints \"ready PATH\", waits for the PC to open it and\n"
    "plays one exchange as the device:\n"
    "  --send FILE     send FILE as a record stream (as when the user starts a send)\n"
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

} // namespace

int main(int argc, char** argv) {
    SimConfig config;
    std::string sendFile, receiveFile, pclinkDir, autoFile;
    int roles = 0;
    bool pclinkOnly = false;
    double timeScale = 1.0;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--link") {
            if (!value(config.linkPath) || config.linkPath.empty())
                return Usage("--link needs a path");
        } else if (a == "--method") {
            if (!value(v))
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
            if (!value(v) || !ParseInt(v, n) || n <= 0 || n > 4000000)
                return Usage("--bps needs a positive speed");
            config.bps = static_cast<int>(n);
        } else if (a == "--pace") {
            config.pace = true;
        } else if (a == "--send") {
            if (!value(sendFile))
                return Usage("--send needs a file");
            config.role = SimRole::Send;
            ++roles;
        } else if (a == "--receive") {
            if (!value(receiveFile))
                return Usage("--receive needs a file");
            config.role = SimRole::Receive;
            ++roles;
        } else if (a == "--pclink") {
            if (!value(pclinkDir))
                return Usage("--pclink needs a folder");
            config.role = SimRole::PcLink;
            ++roles;
        } else if (a == "--auto") {
            if (!value(autoFile))
                return Usage("--auto needs a file");
            config.role = SimRole::Auto;
            ++roles;
        } else if (a == "--nifadr") {
            config.nifadr = true;
            pclinkOnly = true;
        } else if (a == "--has") {
            if (!value(v) || v.empty())
                return Usage("--has needs a file name");
            config.has.push_back(v);
            pclinkOnly = true;
        } else if (a == "--no-addin") {
            config.noAddin = true;
            pclinkOnly = true;
        } else if (a == "--drop" || a == "--flip") {
            double p = 0;
            if (!value(v) || !ParseNumber(v, p) || p < 0.0 || p > 1.0)
                return Usage(a + " needs a probability from 0 to 1");
            (a == "--drop" ? config.faults.drop : config.faults.flip) = p;
        } else if (a == "--seed") {
            long long n = 0;
            if (!value(v) || !ParseInt(v, n) || n < 0 || n > 0xFFFFFFFFLL)
                return Usage("--seed needs a number");
            config.faults.seed = static_cast<std::uint32_t>(n);
        } else if (a == "--stale-ack") {
            long long n = 0;
            if (!value(v) || !ParseInt(v, n) || n < 0 || n > 0x7FFFFFFF)
                return Usage("--stale-ack needs a frame number from 0");
            config.faults.staleAckFrames.insert(static_cast<int>(n));
        } else if (a == "--mute") {
            config.faults.mute = true;
        } else if (a == "--time-scale") {
            if (!value(v) || !ParseNumber(v, timeScale) || timeScale <= 0.0 || timeScale > 100.0)
                return Usage("--time-scale needs a positive factor");
        } else {
            return Usage("unknown option '" + a + "'");
        }
    }
    if (config.linkPath.empty())
        return Usage("--link PATH is required");
    if (roles != 1)
        return Usage("give exactly one of --send, --receive, --pclink, --auto");
    if (pclinkOnly && config.role != SimRole::PcLink && config.role != SimRole::Auto)
        return Usage("--nifadr, --has and --no-addin go with --pclink or --auto");
    if (config.echo && config.method == SimMethod::Cable)
        std::cerr << "zaurus-sim: --echo has no effect on the cable\n";
    if (timeScale != 1.0) {
        auto peerWait = config.timing.peerWait;
        config.timing = config.timing.Scaled(timeScale);
        config.timing.peerWait = peerWait;
    }

    if (config.role == SimRole::Send || config.role == SimRole::Auto) {
        const std::string& file = config.role == SimRole::Send ? sendFile : autoFile;
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << "zaurus-sim: cannot read " << file << "\n";
            return 3;
        }
        config.sendData.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (config.role == SimRole::Auto)
        receiveFile = autoFile;
    if (config.role == SimRole::PcLink) {
        std::error_code ec;
        std::filesystem::create_directories(pclinkDir, ec);
        if (!std::filesystem::is_directory(pclinkDir, ec)) {
            std::cerr << "zaurus-sim: cannot use the folder " << pclinkDir << "\n";
            return 3;
        }
        config.storeDir = pclinkDir;
    }

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
        !WriteWhole(receiveFile, result.received, error)) {
        std::cerr << "zaurus-sim: " << error << "\n";
        return 3;
    }
    if (!result.completed) {
        std::cerr << "zaurus-sim: " << (result.error.empty() ? "the exchange failed" : result.error)
                  << "\n";
        return 1;
    }
    switch (result.played) {
    case SimRole::Send:
        std::cerr << "zaurus-sim: sent " << config.sendData.size() << " bytes\n";
        break;
    case SimRole::Receive:
        std::cerr << "zaurus-sim: received " << result.received.size() << " bytes into "
                  << receiveFile << "\n";
        break;
    case SimRole::PcLink:
        std::cerr << "zaurus-sim: PC link ended; " << result.stored.size() << " file(s) stored\n";
        for (const auto& [name, data] : result.stored)
            std::cerr << "  " << name << " (" << data.size() << " bytes)\n";
        break;
    case SimRole::Auto:
        break;
    }
    return 0;
}
