#include "zip/base/HeadlessHost.h"

namespace mzb {

TMessageAnswer HeadlessHost::MessageBox(const std::string& text, const std::string& caption,
                                        TMessageKind kind, TMessageButtons buttons) {
    messages_.push_back({text, caption, kind});
    switch (buttons) {
    case TMessageButtons::Ok:
        return TMessageAnswer::Ok;
    case TMessageButtons::OkCancel:
        return TMessageAnswer::Cancel;
    case TMessageButtons::YesNo:
        break;
    }
    return TMessageAnswer::No;
}

std::optional<std::string> HeadlessHost::OpenFileDialog(const std::string&, const std::string&,
                                                        const std::string&) {
    return std::nullopt;
}

std::optional<std::string> HeadlessHost::DirectoryDialog(const std::string&) {
    return std::nullopt;
}

} // namespace mzb
