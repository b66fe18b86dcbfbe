#include "sim/DeviceStore.h"

#include "sim/SimDevice.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tessera::sim {

namespace fs = std::filesystem;

std::string DeviceFilePath(const std::string& storeDir, const std::string& deviceName) {
    // A drive letter and digit, a colon, then one plain name: nothing that could climb out of
    // the store folder or name a folder inside it.
    if (deviceName.size() < 4 || deviceName[0] < 'A' || deviceName[0] > 'Z' ||
        deviceName[1] < '0' || deviceName[1] > '9' || deviceName[2] != ':')
        return {};
    std::string name = deviceName.substr(3);
    if (name == "." || name == ".." || name.size() > 255)
        return {};
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/')
            return {};
    }
    std::string dir = storeDir.empty() ? std::string(".") : storeDir;
    return dir + "/" + deviceName.substr(0, 2) + "/" + name;
}

DeviceStore::DeviceStore(std::string dir, bool nifadr, const std::vector<std::string>& has)
    : m_dir(std::move(dir)) {
    if (nifadr)
        m_present.insert("S7:NIFADR.BOX");
    for (const auto& name : has)
        m_present.insert("S1:" + name);
}

bool DeviceStore::Exists(const std::string& deviceName) const {
    if (m_present.count(deviceName) || m_stored.count(deviceName))
        return true;
    if (m_dir.empty())
        return false;
    std::string path = DeviceFilePath(m_dir, deviceName);
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool DeviceStore::Store(const std::string& deviceName, const std::string& data,
                        std::string* error) {
    std::string path = DeviceFilePath(m_dir, deviceName);
    if (path.empty()) {
        if (error)
            *error = "not a device file name: " + deviceName;
        return false;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        fs::create_directories(fs::path(path).parent_path(), ec);
        std::string temp = path + ".part";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
            out.close();
            if (!out) {
                fs::remove(temp, ec);
                if (error)
                    *error = "cannot write " + path;
                return false;
            }
        }
        fs::rename(temp, path, ec);
        if (ec) {
            fs::remove(temp, ec);
            if (error)
                *error = "cannot write " + path;
            return false;
        }
    }
    m_stored[deviceName] = data;
    return true;
}

} // namespace tessera::sim
