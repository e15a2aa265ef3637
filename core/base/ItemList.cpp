#include "core/base/ItemList.h"

#include "zip/base/PrintableName.h"

namespace mzb {

std::string ItemLines(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kItemsNamed; ++i) {
        text += "\r  " + PrintableName(items[i]);
    }
    if (items.size() > kItemsNamed) {
        text += "\r  ... and " + std::to_string(items.size() - kItemsNamed) + " more";
    }
    return text;
}

} // namespace mzb
