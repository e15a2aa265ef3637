#pragma once
// What the engine needs from the program that hosts it: the few places where
// a run talks to the user, and the chance to keep a window responsive
// between chunks of work. A desktop build implements it over its widget
// toolkit; tools and tests use HeadlessHost or a fake of their own.

#include <optional>
#include <string>

namespace mzb {

enum class TMessageKind { Warning, Error, Information, Question };
enum class TMessageButtons { Ok, OkCancel, YesNo };
enum class TMessageAnswer { Ok, Cancel, Yes, No };

class THostServices {
public:
    virtual ~THostServices() = default;

    // A modal message box; returns the button chosen.
    virtual TMessageAnswer MessageBox(const std::string& text, const std::string& caption,
                                      TMessageKind kind, TMessageButtons buttons) = 0;

    // The file-open dialog; nothing when the user cancelled. The filter uses
    // the "Description|pattern|Description|pattern" form.
    virtual std::optional<std::string> OpenFileDialog(const std::string& title,
                                                      const std::string& filter,
                                                      const std::string& initialDir) = 0;

    // The directory chooser; nothing when the user cancelled.
    virtual std::optional<std::string> DirectoryDialog(const std::string& initialDir) = 0;

    // Shows the busy cursor (true) or the normal one (false).
    virtual void SetBusyCursor(bool busy) = 0;

    // Lets the host handle its pending events. A handler run from here may
    // ask the running component to cancel.
    virtual void ProcessEvents() = 0;
};

} // namespace mzb
