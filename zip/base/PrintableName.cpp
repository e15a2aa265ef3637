#include "zip/base/PrintableName.h"

#include "zip/base/Utf8.h"

namespace mzb {
namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
    }
}

} // namespace

std::string PrintableName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    while (!name.empty()) {
        const std::size_t length = Utf8SequenceLength(name);
        const auto lead = static_cast<unsigned char>(name.front());
        if (length == 0) {
            AppendHex(out, "\\x", lead, 2);
            name.remove_prefix(1);
            continue;
        }
        if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
            switch (lead) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                AppendHex(out, "\\x", lead, 2);
            }
        } else if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(name[1]) < 0xA0) {
            AppendHex(out, "\\u", static_cast<unsigned char>(name[1]), 4);
        } else {
            out.append(name.substr(0, length));
        }
        name.remove_prefix(length);
    }
    return out;
}

} // namespace mzb
