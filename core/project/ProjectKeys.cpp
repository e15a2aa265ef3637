#include "core/project/ProjectKeys.h"

#include "core/base/DateText.h"
#include "core/project/ArchiveNaming.h"
#include "core/project/PasswordScramble.h"
#include "platform/Blanks.h"
#include "platform/KnownDirectories.h"

#include <algorithm>
#include <stdexcept>

namespace mzb {
namespace {

using R = ProjectRecord;
using KeyValues = std::vector<std::pair<std::string, std::string>>;

constexpr ProjectKey Row(std::string_view name, KeyKind kind, ProjectMember member,
                         std::string_view missing) {
    ProjectKey key{};
    key.Name = name;
    key.Kind = kind;
    key.Member = member;
    key.Missing = missing;
    return key;
}

// One factory per kind, so that a row can only name a member of its kind's
// type.
constexpr ProjectKey Text(std::string_view name, std::string R::*member) {
    return Row(name, KeyKind::Text, member, "");
}
constexpr ProjectKey Folder(std::string_view name, std::string R::*member) {
    return Row(name, KeyKind::Folder, member, "");
}
constexpr ProjectKey Flag(std::string_view name, bool R::*member, std::string_view missing) {
    return Row(name, KeyKind::Flag, member, missing);
}
constexpr ProjectKey Number(std::string_view name, int R::*member, std::string_view missing,
                            int low = INT_MIN, int high = INT_MAX) {
    ProjectKey key = Row(name, KeyKind::Number, member, missing);
    key.Low = low;
    key.High = high;
    return key;
}
constexpr ProjectKey List(std::string_view countName, std::string_view prefix,
                          std::vector<std::string> R::*member) {
    ProjectKey key = Row(countName, KeyKind::List, member, "0");
    key.ListPrefix = prefix;
    return key;
}
constexpr ProjectKey Password(std::string_view name, std::string R::*member, bool R::*tickedBy) {
    ProjectKey key = Row(name, KeyKind::Password, member, "");
    key.TickedBy = tickedBy;
    return key;
}
constexpr ProjectKey TickedText(std::string_view name, std::string R::*member, bool R::*tickedBy) {
    ProjectKey key = Row(name, KeyKind::TickedText, member, "");
    key.TickedBy = tickedBy;
    return key;
}
constexpr ProjectKey Time(std::string_view name, std::optional<LocalDateTime> R::*member) {
    return Row(name, KeyKind::Time, member, "");
}

// The largest count of archives or periods a rule keeps, and of days
// without a backup before the warning: beyond them a value is a typo.
constexpr int kMaxKept = 1000;
constexpr int kMaxWarnDays = 3650;
constexpr int kMaxFullEveryDays = 3650;

constexpr ProjectKey kProjectKeys[] = {
    Text("Filename prefix", &R::FilenamePrefix),
    Flag("Whether use Date", &R::UseDate, "1"),
    Number("Increase Value", &R::IncreaseValue, "1", kMinArchiveNumber, kMaxArchiveNumber),
    // A new project's first number is 1, the one after its "Value".
    Number("Value", &R::Value, "1").ForNewProject("0"),
    Folder("Save Path", &R::SavePath),
    List("Backup Directory Count", "Backup", &R::BackupItems),
    List("No Backup Directory Count", "NoBackup", &R::NoBackupItems),
    Flag("Whether include Subdirectory", &R::IncludeSubdirectories, "1"),
    Flag("Whether password Project", &R::UsePassword, "1").ForNewProject("0"),
    Password("Password", &R::Password, &R::UsePassword),
    // Projects from before AES keep the traditional cipher; a new one gets
    // AES-256, and a value beyond the ciphers known reads as the strongest.
    Number("Encryption", &R::Encryption, "0", 0, 3).ForNewProject("3"),
    Flag("Whether store path in Zip", &R::StorePaths, "1"),
    Flag("Whether store comment in Zip", &R::StoreComment, "1"),
    TickedText("Comment", &R::Comment, &R::StoreComment),
    Number("Keep Archives", &R::KeepArchives, "0", 0, 2),
    Number("Keep Last", &R::KeepLast, "10", 1, kMaxKept),
    Number("Keep Daily", &R::KeepDaily, "7", 0, kMaxKept),
    Number("Keep Weekly", &R::KeepWeekly, "4", 0, kMaxKept),
    Number("Keep Monthly", &R::KeepMonthly, "12", 0, kMaxKept),
    // Projects made before the check existed keep backing up as they did.
    Flag("Verify After Backup", &R::VerifyAfterBackup, "0").ForNewProject("1"),
    Number("Backup Type", &R::BackupType, "0", 0, 1),
    Number("Full Every", &R::FullEvery, "7", 1, kMaxFullEveryDays),
    Text("Remote Copy", &R::RemoteCopy),
    Flag("IsEnabledAutoBack", &R::IsEnabledAutoBack, "0").Writer(KeyWriter::Schedule),
    // A kind this program never writes is kept as read: the schedule gives
    // it an entry that never falls due, rather than a daily backup nobody set.
    Number("BackupMode", &R::BackupMode, "0").Writer(KeyWriter::Schedule),
    Text("StartTime_or_Increase", &R::StartTime_or_Increase).Writer(KeyWriter::Schedule),
    // Set beside the schedule, so saved with it.
    Number("Warn After Days", &R::WarnAfterDays, "0", 0, kMaxWarnDays).Writer(KeyWriter::Schedule),
    Time("Last Backup", &R::LastBackup).Writer(KeyWriter::Run),
    List("Remote Pending Count", "Remote Pending", &R::RemotePending).Writer(KeyWriter::Run),
};

template <typename T> T& MemberOf(R& record, const ProjectKey& key) {
    return record.*std::get<T R::*>(key.Member);
}
template <typename T> const T& MemberOf(const R& record, const ProjectKey& key) {
    return record.*std::get<T R::*>(key.Member);
}

// Text that is no number reads as the missing value.
int StoredNumber(const ProfileText& t, const std::string& section, std::string_view name,
                 std::string_view missing) {
    return t.ReadInteger(section, name, ParseProfileInteger(missing, 0));
}

void ReadKey(const ProfileText& t, const std::string& section, const ProjectKey& key,
             std::string_view missing, R& r) {
    switch (key.Kind) {
    case KeyKind::Text:
    case KeyKind::TickedText:
        MemberOf<std::string>(r, key) = t.ReadString(section, key.Name, missing);
        break;
    case KeyKind::Folder: {
        std::string folder = t.ReadString(section, key.Name, missing);
        // The program never stores an empty folder; a hand-edited one must
        // not send archives to the root.
        MemberOf<std::string>(r, key) = TrimBlanks(folder).empty() ? HomeDirectory() : folder;
        break;
    }
    case KeyKind::Flag:
        MemberOf<bool>(r, key) = StoredNumber(t, section, key.Name, missing) != 0;
        break;
    case KeyKind::Number:
        MemberOf<int>(r, key) =
            std::clamp(StoredNumber(t, section, key.Name, missing), key.Low, key.High);
        break;
    case KeyKind::List:
        MemberOf<std::vector<std::string>>(r, key) = t.ReadNumberedList(
            section, key.ListPrefix, StoredNumber(t, section, key.Name, missing));
        break;
    case KeyKind::Password: {
        const ProjectKey& flag = KeyOf(key.TickedBy);
        const bool ticked = StoredNumber(t, section, flag.Name, flag.Missing) != 0;
        const std::string stored = t.ReadString(section, key.Name, missing);
        MemberOf<std::string>(r, key) =
            ticked && !stored.empty() ? DecodePassword(stored, section) : std::string();
        break;
    }
    case KeyKind::Time:
        MemberOf<std::optional<LocalDateTime>>(r, key) =
            ParseDateTime(t.ReadString(section, key.Name, missing));
        break;
    }
}

enum class Purpose { Store, Show };

// The keys and values one row stands for, as the file stores them or as a
// listing shows them.
void AppendKeyValues(KeyValues& out, const std::string& section, const ProjectKey& key, const R& r,
                     Purpose purpose) {
    const std::string name(key.Name);
    switch (key.Kind) {
    case KeyKind::Text:
    case KeyKind::Folder:
        out.emplace_back(name, MemberOf<std::string>(r, key));
        break;
    case KeyKind::Flag:
        out.emplace_back(name, MemberOf<bool>(r, key) ? "1" : "0");
        break;
    case KeyKind::Number:
        out.emplace_back(name, std::to_string(MemberOf<int>(r, key)));
        break;
    case KeyKind::List: {
        const auto& items = MemberOf<std::vector<std::string>>(r, key);
        out.emplace_back(name, std::to_string(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            out.emplace_back(std::string(key.ListPrefix) + std::to_string(i), items[i]);
        }
        break;
    }
    case KeyKind::Password:
    case KeyKind::TickedText: {
        const std::string& value = MemberOf<std::string>(r, key);
        const bool kept = r.*key.TickedBy && !TrimBlanks(value).empty();
        if (purpose == Purpose::Show) {
            out.emplace_back(name, value);
        } else if (!kept) {
            out.emplace_back(name, std::string());
        } else {
            out.emplace_back(name, key.Kind == KeyKind::Password ? EncodePassword(value, section)
                                                                 : value);
        }
        break;
    }
    case KeyKind::Time:
        if (const auto& time = MemberOf<std::optional<LocalDateTime>>(r, key)) {
            out.emplace_back(name, FormatDateTime(*time));
        }
        break;
    }
}

} // namespace

std::span<const ProjectKey> ProjectKeys() {
    return kProjectKeys;
}

const ProjectKey& KeyOf(const ProjectMember& member) {
    for (const ProjectKey& key : kProjectKeys) {
        if (key.Member == member) {
            return key;
        }
    }
    throw std::logic_error("a ProjectRecord member without a key");
}

void ReadProjectKey(const ProfileText& text, const std::string& section, const ProjectKey& key,
                    ProjectRecord& record) {
    ReadKey(text, section, key, key.Missing, record);
}

void ReadProjectKeys(const ProfileText& text, const std::string& section, ProjectRecord& record) {
    for (const ProjectKey& key : kProjectKeys) {
        ReadProjectKey(text, section, key, record);
    }
}

void ReadProjectKeys(const ProfileText& text, const std::string& section, KeyWriter writer,
                     ProjectRecord& record) {
    for (const ProjectKey& key : kProjectKeys) {
        if (key.WrittenBy == writer) {
            ReadProjectKey(text, section, key, record);
        }
    }
}

void WriteProjectKey(ProfileText& text, const std::string& section, const ProjectRecord& record,
                     const ProjectKey& key) {
    KeyValues values;
    AppendKeyValues(values, section, key, record, Purpose::Store);
    for (const auto& [name, value] : values) {
        text.WriteString(section, name, value);
    }
}

void WriteProjectKeys(ProfileText& text, const std::string& section, const ProjectRecord& record,
                      KeyWriter writer) {
    for (const ProjectKey& key : kProjectKeys) {
        if (key.WrittenBy == writer) {
            WriteProjectKey(text, section, record, key);
        }
    }
}

ProjectRecord NewProjectRecord() {
    const ProfileText nothing;
    ProjectRecord r;
    for (const ProjectKey& key : kProjectKeys) {
        ReadKey(nothing, std::string(), key, key.NewProject.value_or(key.Missing), r);
    }
    return r;
}

std::vector<std::pair<std::string, std::string>> ProjectKeyValues(const ProjectRecord& record) {
    KeyValues out;
    for (const ProjectKey& key : kProjectKeys) {
        if (key.WrittenBy != KeyWriter::Run) {
            AppendKeyValues(out, record.Name, key, record, Purpose::Show);
        }
    }
    return out;
}

} // namespace mzb
