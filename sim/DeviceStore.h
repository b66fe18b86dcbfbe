#pragma once
// The device's file memory for the PC-link conversation: which files exist and where the
// files the PC stores end up (a folder per drive, "S1:NAME" -> DIR/S1/NAME).

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessera::sim {

class DeviceStore {
public:
    DeviceStore(std::string dir, bool nifadr, const std::vector<std::string>& has);

    bool Exists(const std::string& deviceName) const;
    // Keeps the file; false (with the reason) when the name cannot be a device file or the
    // folder cannot be written.
    bool Store(const std::string& deviceName, const std::string& data, std::string* error);
    const std::map<std::string, std::string>& Stored() const { return m_stored; }

private:
    std::string m_dir;
    std::set<std::string> m_present;
    std::map<std::string, std::string> m_stored;
};

} // namespace tessera::sim
