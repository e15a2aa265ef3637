#pragma once
// The product's name, version and public addresses, in one place. The
// product has no public addresses yet; the reserved example domain stands
// in until it has.

#include "platform/ProductVersion.h"

namespace mzb {

inline constexpr const char* kProductName = MZB_PRODUCT_NAME;
inline constexpr const char* kMainCaption = MZB_PRODUCT_NAME "  V" MZB_VERSION;
inline constexpr const char* kAboutCaption = "About  " MZB_PRODUCT_NAME;
inline constexpr const char* kAboutHeading = MZB_PRODUCT_NAME " V" MZB_VERSION;
inline constexpr const char* kWebAddress = "https://www.example.com/morvaleen-zip-backup/";
inline constexpr const char* kSupportAddress = "support@example.com";
// The desktop entry and icon name the installation uses.
inline constexpr const char* kDesktopName = "morvaleen-zip-backup";

} // namespace mzb
