#include "core/remote/RemoteSetting.h"

#include "platform/Blanks.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace mzb {
namespace {

// Fragments of rclone option names that hold a secret; an option named with
// one of them never belongs in project.ini.
constexpr std::array<std::string_view, 7> kSecretFragments = {
    "pass", "secret", "token", "key_pem", "account_key", "api_key", "sas_url"};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

// The connection string's options, between the first ',' and the ':' that
// ends the remote's name; quoted values may hold ',' and ':'.
std::string SecretOption(std::string_view remote) {
    bool quoted = false;
    char quote = 0;
    std::size_t start = std::string_view::npos;
    // An inline remote begins with ':' before its backend's name.
    for (std::size_t i = remote.starts_with(':') ? 1 : 0; i <= remote.size(); ++i) {
        const char c = i < remote.size() ? remote[i] : ',';
        if (quoted) {
            quoted = c != quote;
            continue;
        }
        if (c == '"' || c == '\'') {
            quoted = true;
            quote = c;
        } else if (c == ',' || c == ':') {
            if (start != std::string_view::npos) {
                const std::string_view option = remote.substr(start, i - start);
                const std::string name = Lower(option.substr(0, option.find('=')));
                for (const std::string_view fragment : kSecretFragments) {
                    if (name.find(fragment) != std::string::npos) {
                        return std::string(option.substr(0, option.find('=')));
                    }
                }
            }
            if (c == ':') {
                break;
            }
            start = i + 1;
        }
    }
    return {};
}

} // namespace

std::string RemoteSettingProblem(const std::string& setting) {
    const std::string_view text = TrimBlanks(setting);
    if (text.empty()) {
        return {};
    }
    if (text.front() == '-') {
        return "The remote copy destination must not begin with '-': " + std::string(text);
    }
    if (text.find(':') == std::string_view::npos) {
        return "The remote copy destination needs a remote, as in nas:backups/docs: " +
               std::string(text);
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return "The remote copy destination holds a control character";
        }
    }
    if (const std::string option = SecretOption(text); !option.empty()) {
        return "The remote copy destination holds a credential (" + option +
               "); keep it in rclone's configuration (rclone config) and name the remote "
               "instead";
    }
    return {};
}

std::string RemotePathOf(const std::string& setting, const std::string& name) {
    std::string folder(TrimBlanks(setting));
    if (!folder.empty() && folder.back() != ':' && folder.back() != '/') {
        folder += '/';
    }
    return folder + name;
}

} // namespace mzb
