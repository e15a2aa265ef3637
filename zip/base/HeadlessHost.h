#pragma once
// Host services for runs without a user in front of them: every question
// gets a fixed, safe answer (No to "replace?", Cancel to "insert disk", no
// choice in a dialog) and every message is kept so that the caller can show
// or check it afterwards.

#include "zip/base/HostServices.h"

#include <string>
#include <vector>

namespace mzb {

class HeadlessHost : public THostServices {
public:
    struct Message {
        std::string Text;
        std::string Caption;
        TMessageKind Kind;
    };

    TMessageAnswer MessageBox(const std::string& text, const std::string& caption,
                              TMessageKind kind, TMessageButtons buttons) override;
    std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& initialDir) override;
    std::optional<std::string> DirectoryDialog(const std::string& initialDir) override;
    void SetBusyCursor(bool) override {}
    void ProcessEvents() override {}

    const std::vector<Message>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

private:
    std::vector<Message> messages_;
};

} // namespace mzb
