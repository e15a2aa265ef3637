#pragma once
// The product's name, version and public addresses, in one place. The
// product has no public addresses yet; the reserved example domain stands
// in until it has.

namespace mzb {

inline constexpr const char* kProductName = "Morvaleen ZIP Backup";
inline constexpr const char* kMainCaption = "Morvaleen ZIP Backup  V1.00";
inline constexpr const char* kAboutCaption = "About  Morvaleen ZIP Backup";
inline constexpr const char* kAboutHeading = "Morvaleen ZIP Backup V1.00";
inline constexpr const char* kWebAddress = "https://www.example.com/morvaleen-zip-backup/";
inline constexpr const char* kSupportAddress = "support@example.com";
// The desktop entry and icon name the installation uses.
inline constexpr const char* kDesktopName = "morvaleen-zip-backup";

} // namespace mzb
