#include "tools/mzb/CommandTable.h"

#include "tools/mzb/ArchiveCommands.h"
#include "tools/mzb/BrowseCommands.h"
#include "tools/mzb/CreateCommand.h"
#include "tools/mzb/HistoryCommands.h"
#include "tools/mzb/ProjectCommands.h"
#include "tools/mzb/RemoteCommands.h"
#include "tools/mzb/RunCommands.h"
#include "tools/mzb/ScheduleCommands.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace mzb::cli {
namespace {

constexpr const char* kNowForm = "--now \"YYYY-MM-DD HH:MM:SS\"";
constexpr const char* kOverwriteForm = "-o prompt|always|never|newer|older";
constexpr const char* kOverwriteText =
    "what to do with a file that exists: ask (the default), replace it, keep it, "
    "replace it when the entry is newer, or when it is older";
constexpr const char* kThreadsText = "threads that do the work, 1 to 256 (default: one per core)";
constexpr const char* kQuietText = "no progress line on a terminal";
constexpr const char* kJunkText = "put every file straight into DEST, without its folders";
constexpr const char* kPasswordFileForm = "--password-file FILE";
constexpr const char* kPasswordFileText =
    "the password is the first line of FILE; without -p or this, MZB_PASSWORD is used";

// The row of the command being run, whose usage a usage error shows.
const Command* running = nullptr;

bool TakesValue(const OptionHelp& option) {
    return std::strchr(option.form, ' ') != nullptr;
}

std::string_view OptionName(const OptionHelp& option) {
    const std::string_view form(option.form);
    return form.substr(0, form.find(' '));
}

const OptionHelp* FindOption(const Command& command, std::string_view name) {
    for (const OptionHelp& o : command.options) {
        if (OptionName(o) == name) {
            return &o;
        }
    }
    return nullptr;
}

// Help is read on a terminal: lines stay within its usual 80 columns.
constexpr std::size_t kLineWidth = 79;

// Prints `text` from column `column` on, breaking it between words so that
// no line passes kLineWidth; lines after the first start at `indent`.
void PrintWrapped(std::FILE* out, std::string_view text, std::size_t column, std::size_t indent) {
    while (!text.empty()) {
        const std::size_t room = kLineWidth > column ? kLineWidth - column : 1;
        std::size_t cut = text.size();
        if (cut > room) {
            cut = text.rfind(' ', room);
            if (cut == std::string_view::npos || cut == 0) {
                cut = std::min(text.find(' '), text.size());
            }
        }
        std::fprintf(out, "%.*s\n", int(cut), text.data());
        text.remove_prefix(std::min(cut + 1, text.size()));
        if (!text.empty()) {
            std::fprintf(out, "%*s", int(indent), "");
            column = indent;
        }
    }
}

// A form wider than this gets its text on the line below, so that one long
// form does not squeeze every other text into a narrow column.
constexpr std::size_t kFormColumnWidth = 20;

void PrintOptionRows(const std::vector<OptionHelp>& rows, std::FILE* out) {
    std::size_t width = 0;
    for (const OptionHelp& o : rows) {
        if (const std::size_t w = std::strlen(o.form); w <= kFormColumnWidth) {
            width = std::max(width, w);
        }
    }
    const std::size_t textColumn = width + 4;
    for (const OptionHelp& o : rows) {
        if (std::strlen(o.form) > width) {
            std::fprintf(out, "  %s\n%*s", o.form, int(textColumn), "");
        } else {
            std::fprintf(out, "  %-*s  ", int(width), o.form);
        }
        PrintWrapped(out, o.text, textColumn, textColumn);
    }
}

const std::vector<OptionHelp> kHelpOption = {{"-h, --help", "print this help and exit"}};

int RunHelp(const GlobalOptions&, const Args& args) {
    if (args.empty()) {
        PrintOverview(stdout);
        return kExitOk;
    }
    const Command* command = args.size() == 1 ? FindCommand(args[0]) : nullptr;
    if (command == nullptr) {
        return UsageError(args.size() == 1 ? "unknown command " + args[0]
                                           : "unexpected argument " + args[1]);
    }
    PrintCommandHelp(*command, stdout);
    return kExitOk;
}

} // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> kCommands = {
        {"projects", "", {}, "", "Print the project list, one name a line.", RunProjects},
        {"show",
         "NAME",
         {},
         "",
         "Print the project's keys as KEY=VALUE lines, its password decoded.",
         RunShow},
        {"next-name",
         "NAME",
         {{kNowForm, "the time a date-named archive is named after (default: now)"}},
         "",
         "Print the path of the archive that the project's next backup writes.",
         RunNextName},
        {"archives",
         "DIR",
         {{"--by name|size|date", "the order of the list (default: name)"},
          {"--desc", "in descending order"}},
         "",
         "List the ZIP archives of a folder (name, KiB, date) and the total line.",
         RunArchives},
        {"contents",
         "ARCHIVE",
         {},
         "",
         "List an archive's entries (name, compressed size, folder) and the total line.",
         RunContents},
        {"find",
         "DIR",
         {},
         "PATTERN...",
         "Find files in every archive of a folder, oldest archive first: archive, date, path, "
         "size, modified, CRC and new, changed or same, then the total line. A PATTERN with "
         "a wildcard matches the name, or the path when it holds a /; any other is a part of "
         "the path.",
         RunFind},
        {"versions",
         "DIR PATH",
         {},
         "",
         "List the distinct versions of one stored path in a folder's archives, newest first: "
         "version, size, modified, CRC, archive, date, a row for each archive holding it.",
         RunVersions},
        {"schedule",
         "",
         {{kNowForm, "the time the table is built at (default: now)"}},
         "",
         "Print the schedule table: project, next run, interval in minutes.",
         RunScheduleTable},
        {"create",
         "ARCHIVE",
         {{"-l LEVEL", "compression level, 0 (store) to 9 (default: 5)"},
          {"-p PASSWORD", "encrypt every file; - asks for the password on the terminal, twice"},
          {kPasswordFileForm, kPasswordFileText},
          {"-e aes256|aes192|aes128|zipcrypto",
           "the cipher (default: aes256); zipcrypto, the traditional one, is weak but every "
           "ZIP tool reads it"},
          {"-r", "recurse into folders"},
          {"-j", "store file names only, without their folders"},
          {"-t THREADS", kThreadsText},
          {"-q", kQuietText},
          {"-c COMMENT", "the archive comment"},
          {"-x PATTERN", "leave out the files that match PATTERN", true}},
         "ITEM...",
         "Write ARCHIVE from files, folders and wildcards, or update it: newer files "
         "replace their entries, new ones are added.",
         RunCreate},
        {"list",
         "ARCHIVE",
         {},
         "[PATTERN...]",
         "List the entries (all, or those matching a PATTERN): method, sizes, CRC, time, "
         "flags, encryption, name.",
         RunList},
        {"test",
         "ARCHIVE",
         {{"-p PASSWORD", "the password of encrypted entries; - asks for it on the terminal"},
          {kPasswordFileForm, kPasswordFileText}},
         "",
         "Decode every entry and check its CRC, writing nothing.",
         RunTest},
        {"extract",
         "ARCHIVE DEST",
         {{"-p PASSWORD", "the password of encrypted entries; - asks for it on the terminal"},
          {kPasswordFileForm, kPasswordFileText},
          {kOverwriteForm, kOverwriteText},
          {"-j", kJunkText},
          {"-t THREADS", kThreadsText},
          {"-q", kQuietText}},
         "[PATTERN...]",
         "Extract the entries (all, or those matching a PATTERN) into DEST.",
         RunExtract},
        {"backup",
         "NAME",
         {{kNowForm, "the time a date-named archive is named after (default: now)"},
          {"-t THREADS", kThreadsText},
          {"-q", kQuietText}},
         "",
         "Back up a project as the schedule does, without asking first, and print the "
         "completion text.",
         RunBackupProject},
        {"run-schedule",
         "",
         {{"--minutes N", "stop after N ticks (default: run until interrupted)"}},
         "",
         "Run the schedule: a tick a minute, the first at once, backing up each project "
         "that is due.",
         RunRunSchedule},
        {"prune",
         "NAME",
         {{"--dry-run", "delete nothing, only print what would go"},
          {kNowForm, "the time the rule counts back from (default: now)"}},
         "",
         "Apply the project's retention rule and print each archive it deletes.",
         RunPrune},
        {"status",
         "",
         {{kNowForm, "the time the rows are taken at (default: now)"}},
         "",
         "Print each project's backups: name, last backup and result, next run, archives "
         "kept, their KiB, and STALE past its warning.",
         RunStatus},
        {"restore",
         "ARCHIVE DEST",
         {{"--remote NAME",
           "take ARCHIVE, a file name, from project NAME's remote copy (fetched to a private "
           "temporary folder first)"},
          {"-p PASSWORD", "the archive's password; - asks for it on the terminal"},
          {kPasswordFileForm, kPasswordFileText},
          {"--only-this",
           "of an archive with a manifest, restore only the files it holds itself, not the "
           "point in time it records"},
          {kOverwriteForm, kOverwriteText},
          {"-j", kJunkText},
          {"-t THREADS", kThreadsText},
          {"-q", kQuietText}},
         "",
         "Restore a whole archive as the window's Start Restore does; an empty DEST puts "
         "every file back where it was backed up from. An archive with a manifest restores "
         "the point in time it records, each file from the archive of its folder that holds it.",
         RunRestore},
        {"remote",
         "NAME",
         {},
         "",
         "List the project's archives on its remote copy beside those of its save folder, "
         "marking each missing remotely or missing locally.",
         RunRemote},
        {"help",
         "[COMMAND]",
         {},
         "",
         "Print the list of commands, or one command's usage and options.",
         RunHelp},
    };
    return kCommands;
}

const Command* FindCommand(std::string_view name) {
    for (const Command& c : Commands()) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

std::string UsageLine(const Command& command) {
    std::string line = std::string("mzb ") + command.name;
    if (*command.operands != '\0') {
        line += std::string(" ") + command.operands;
    }
    for (const OptionHelp& o : command.options) {
        line += std::string(" [") + o.form + "]" + (o.repeats ? "..." : "");
    }
    if (*command.trailing != '\0') {
        line += std::string(" ") + command.trailing;
    }
    return line;
}

bool AsksForHelp(const Command& command, const Args& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            return false;
        }
        if (args[i] == "--help" || args[i] == "-h") {
            return true;
        }
        if (const OptionHelp* o = FindOption(command, args[i]); o != nullptr && TakesValue(*o)) {
            ++i;
        }
    }
    return false;
}

void PrintCommandHelp(const Command& command, std::FILE* out) {
    std::fprintf(out, "usage: %s\n", UsageLine(command).c_str());
    PrintWrapped(out, command.summary, 0, 0);
    std::fprintf(out, "\noptions:\n");
    std::vector<OptionHelp> rows = command.options;
    rows.insert(rows.end(), kHelpOption.begin(), kHelpOption.end());
    PrintOptionRows(rows, out);
}

void PrintOverview(std::FILE* out) {
    std::fprintf(out,
                 "usage: %s\n"
                 "Backs up, restores and reads ZIP archives, with the project.ini of the "
                 "window.\n\ncommands:\n",
                 kGlobalUsage);
    for (const Command& c : Commands()) {
        std::fprintf(out, "  %s\n", UsageLine(c).c_str());
    }
    std::fprintf(out, "\noptions before COMMAND:\n");
    PrintOptionRows({{"--ini FILE", "the project.ini to use instead of the program's own"},
                     {"--version", "print the program's name and version and exit"},
                     {"-h, --help", "print this help and exit"}},
                    out);
    std::fprintf(out, "\n`mzb help COMMAND` or `mzb COMMAND --help` shows a command's options.\n"
                      "Exit status: 0 success, 1 a refusal or something left out,\n"
                      "2 a usage error or a failure.\n");
}

int RunCommand(const Command& command, const GlobalOptions& options, const Args& args) {
    running = &command;
    try {
        return command.run(options, args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mzb: %s\n", e.what());
        return kExitFatal;
    }
}

int UsageError(const std::string& problem) {
    const std::string usage = running != nullptr ? UsageLine(*running) : kGlobalUsage;
    std::fprintf(stderr, "mzb: %s; usage: %s\n", problem.c_str(), usage.c_str());
    return kExitFatal;
}

} // namespace mzb::cli
