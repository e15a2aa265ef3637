#pragma once
// The product's name and version, in one place. It has no public web or
// e-mail address yet: the about box points at the user guide instead.

namespace mzb {

inline constexpr const char* kProductName = "Morvaleen ZIP Backup";
inline constexpr const char* kMainCaption = "Morvaleen ZIP Backup  V1.00";
inline constexpr const char* kAboutCaption = "About  Morvaleen ZIP Backup";
inline constexpr const char* kAboutHeading = "Morvaleen ZIP Backup V1.00";
// The desktop entry and icon name the installation uses.
inline constexpr const char* kDesktopName = "morvaleen-zip-backup";

} // namespace mzb
