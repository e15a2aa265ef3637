#pragma once
// The product's name and version, in one place. It has no public web or
// e-mail address yet: the about box points at the user guide instead.

#include "platform/ProductVersion.h"

namespace mzb {

inline constexpr const char* kProductName = MZB_PRODUCT_NAME;
inline constexpr const char* kMainCaption = MZB_PRODUCT_NAME "  V" MZB_VERSION;
inline constexpr const char* kAboutCaption = "About  " MZB_PRODUCT_NAME;
inline constexpr const char* kAboutHeading = MZB_PRODUCT_NAME " V" MZB_VERSION;
// The desktop entry and icon name the installation uses.
inline constexpr const char* kDesktopName = "morvaleen-zip-backup";

} // namespace mzb
