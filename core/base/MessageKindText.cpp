#include "core/base/MessageKindText.h"

namespace mzb {

std::string MessageKindTitle(MessageKind kind, const std::string& applicationTitle) {
    switch (kind) {
    case MessageKind::Warning:
        return "Warning";
    case MessageKind::Error:
        return "Error";
    case MessageKind::Information:
        return "Information";
    case MessageKind::Confirmation:
        return "Confirm";
    case MessageKind::Custom:
        break;
    }
    return applicationTitle;
}

bool MessageKindHasIcon(MessageKind kind) {
    return kind != MessageKind::Custom;
}

} // namespace mzb
