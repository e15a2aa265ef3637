// The profile parser and editor over arbitrary bytes. Besides surviving the
// input, every edit must keep its promise: the text comes back unchanged
// when nothing was edited, a written value reads back exactly, and an
// erased section is gone.
#include "platform/ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A value taken from the input itself, minus what no profile line can hold.
std::string ValueFrom(std::string_view bytes) {
    std::string value;
    for (char c : bytes.substr(0, 64)) {
        if (c != '\r' && c != '\n' && c != '\0') {
            value.push_back(c);
        }
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using mzb::ProfileText;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    ProfileText text(input);
    Require(text.Bytes() == input);

    const char* sections[] = {"Common", "docs", "[x", "A B"};
    const char* keys[] = {"Project Count", "Count0", "Backup1", "Password"};
    for (const char* section : sections) {
        for (const char* key : keys) {
            (void)text.ReadInteger(section, key, 7);
            (void)text.ReadNumberedList(section, key, 1 << 30);
        }
    }

    const std::string value = ValueFrom(input.substr(size / 2));
    text.WriteString("Common", "Last Project", value);
    text.WriteString("Docs", "Value", value);
    text.WriteString("docs", "Value", "second");
    ProfileText reread(text.Bytes());
    Require(reread.ReadString("COMMON", "last project", "\x01") == value);
    Require(reread.ReadString("Docs", "Value", "") == "second");

    reread.EraseSection("docs");
    Require(!ProfileText(reread.Bytes()).HasSection("Docs"));
    return 0;
}
