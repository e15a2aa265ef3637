#pragma once
// How a project's password is kept in project.ini: exclusive-or with a key
// made of the project's name and the name's length in characters, each
// resulting byte written as "#" and its decimal value. This only keeps the
// password from being read at a glance; it is no protection. The key holds
// the name, so a stored password decodes only under the name it was
// encoded with.

#include <string>
#include <string_view>

namespace mzb {

std::string EncodePassword(std::string_view plain, std::string_view projectName);

// Text that begins with "#" is read as decimal byte values, any non-digit
// ending a run; other text is taken as the raw bytes. Never fails.
std::string DecodePassword(std::string_view stored, std::string_view projectName);

} // namespace mzb
