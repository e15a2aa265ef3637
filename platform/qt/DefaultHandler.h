#pragma once
// Opening a file or an address with the desktop's default handler
// (xdg-open underneath). Whether a handler was found is not reported: the
// callers take no notice of it.

#include <string>

namespace mzb {

void OpenFileWithDefaultHandler(const std::string& path);
// A web address, or a "mailto:" one.
void OpenUrlWithDefaultHandler(const std::string& url);

} // namespace mzb
