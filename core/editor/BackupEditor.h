#pragma once
// The project editor of the "Backup " page as values, the fields a backup
// reads as they stand when it starts.

#include <string>
#include <vector>

namespace mzb {

// The editor's controls that a backup reads, as they stand when it starts.
struct BackupEditor {
    std::string ProjectText; // comboProject
    std::string Filename;    // EditFilename, the archive path
    std::string Prefix;      // EditPrefix
    std::string SaveDir;     // EditSavePath
    bool UseNumber = false;  // RadioUseNumber
    int Number = 1;          // SpinValue
    int Increase = 1;        // SpinIncrease
    bool Recurse = true;     // RadioYes
    bool StorePaths = true;  // CheckBoxpath
    bool CommentTicked = true;
    std::string Comment;
    bool PasswordTicked = true;
    std::string Password;
    std::string ConfirmPassword;
    std::vector<std::string> Include; // ListboxBackup
    std::vector<std::string> Exclude; // ListBoxNobackup
};

} // namespace mzb
