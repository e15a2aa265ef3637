#include "tools/mzb/RunCommands.h"

#include "core/RestoreRun.h"
#include "core/ZipReaderRestore.h"
#include "tools/mzb/TerminalHost.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

namespace mzb::cli {
namespace {

// The window's side of a run on a terminal: every question is answered Yes,
// since the command itself is the request, and texts go to standard output
// with their carriage returns as line breaks.
class ConsoleRunHost : public RunHost {
public:
    bool AskYesNo(const std::string&, MessageKind) override { return true; }
    void ShowMessage(const std::string& text, MessageKind) override { Print(text); }
    void ShowTimedMessage(const std::string& text, MessageKind, int) override { Print(text); }
    void SetRunLock(bool) override {}
    void SetProgress(int) override {}
    int ActivePage() override { return 0; }
    void ShowPage(int) override {}
    LocalDateTime Now() override { return LocalDateTime::Now(); }

private:
    static void Print(std::string text) {
        for (char& c : text) {
            if (c == '\r') {
                c = '\n';
            }
        }
        std::printf("%s\n", text.c_str());
    }
};

// The archive list's folder and row for an archive given by its path.
void SplitArchivePath(const std::string& path, RestoreEditor& editor) {
    const std::filesystem::path p(path);
    editor.FolderText = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    editor.ArchiveCell = p.filename().string();
}

} // namespace

int RunRestore(const GlobalOptions&, const Args& args) {
    static const std::map<std::string, RestoreOverwrite> kModes = {
        {"prompt", RestoreOverwrite::Prompt}, {"always", RestoreOverwrite::Always},
        {"never", RestoreOverwrite::Never},   {"newer", RestoreOverwrite::IfNewer},
        {"older", RestoreOverwrite::IfOlder},
    };
    const char* usage = "; usage: mzb restore ARCHIVE DEST [-p PASSWORD] "
                        "[-o prompt|always|never|newer|older] [-j]";
    RestoreEditor editor;
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-p" && i + 1 < args.size()) {
            editor.Password = args[++i];
        } else if (a == "-o" && i + 1 < args.size()) {
            const auto it = kModes.find(args[++i]);
            if (it == kModes.end()) {
                return UsageError("unknown overwrite mode " + args[i] + usage);
            }
            editor.Overwrite = it->second;
        } else if (a == "-j") {
            editor.UseFolderNames = false;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("unknown option " + a + usage);
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() != 2) {
        return UsageError(std::string("needs ARCHIVE and DEST") + usage);
    }
    SplitArchivePath(plain[0], editor);
    editor.DestDir = plain[1];

    TerminalHost engineHost;
    TZipReader reader(engineHost);
    reader.DoProcessMessages = false;
    ZipReaderRestore readerView(reader);
    ConsoleRunHost host;
    RestoreRun run;
    try {
        return run.Run(editor, readerView, host) == RestoreOutcome::Succeeded ? kExitOk
                                                                              : kExitPartial;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mzb: %s\n", e.what());
        return kExitPartial;
    }
}

} // namespace mzb::cli
