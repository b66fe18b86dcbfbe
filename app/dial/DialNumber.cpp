#include "app/dial/DialNumber.h"

#include "text/LeadByte.h"

namespace tessera {

bool ConvertDialNumber(std::string_view cp932, std::string& out) {
    out.clear();
    std::string result;
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (IsLeadByte(b)) {
            if (i + 1 >= cp932.size())
                return false; // a lead byte without its second half
            const auto t = static_cast<unsigned char>(cp932[++i]);
            if (b == 0x82 && t >= 0x4F && t <= 0x58)
                result.push_back(static_cast<char>('0' + (t - 0x4F)));
            else if (b == 0x81 && (t == 0x5B || t == 0x5C || t == 0x7C))
                result.push_back('-');
            else
                return false;
        } else if ((b >= '0' && b <= '9') || b == '-') {
            result.push_back(static_cast<char>(b));
        } else {
            return false;
        }
        if (result.size() > kMaxDialNumberLength)
            return false;
    }
    out = std::move(result);
    return true;
}

} // namespace tessera
