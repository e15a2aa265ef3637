#pragma once
// The "Backup " page (Tabbackup): the project editor with the include and
// exclude lists, the archive naming and the archive options of the project
// that comboProject selects. Loading a project into it, the editor states
// and the Start Backup run live here.

#include <QWidget>
#include <memory>
#include <string>

namespace Ui {
class BackupPage;
}

namespace mzb {

class TFormMain;

class BackupPage : public QWidget {
    Q_OBJECT

public:
    explicit BackupPage(QWidget* parent = nullptr);
    ~BackupPage() override;

    // The main window whose state the page edits; given once, right after
    // the window has built its controls.
    void Attach(TFormMain& form);

    // comboProjectChange: loads the project selected in comboProject.
    void LoadSelectedProject();
    // SpStartClick: backs up the project the page shows; false when the run
    // ended with an error.
    bool StartBackup();
    // The save directory of the shown project (its "Save Path"); the home
    // folder while no project is shown.
    std::string SavePath() const;

private:
    std::unique_ptr<Ui::BackupPage> ui;
    TFormMain* form_ = nullptr;
};

} // namespace mzb
