#pragma once
// The project editor of the "Backup " page as values, the fields a backup
// reads as they stand when it starts.

#include "core/project/ProjectRecord.h"

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
    // Every other setting of the project, as its ProjectRecord member:
    // loading puts the record here, Save writes it back, and a new project
    // starts from NewProjectRecord. The fields above stand in for their
    // members, which Save takes from them; a setting that has none is read
    // and written here by its control.
    ProjectRecord Project;
};

} // namespace mzb
