#pragma once
// The preferences window: the program-wide options of "Common" (General and
// Backup tabs, written by Apply) and the schedule of one project at a time
// (Schedule tab, written at once by its own save button). Shown modally
// from the main window and destroyed when it closes.

#include "core/schedule/ScheduleText.h"

#include <QDialog>
#include <memory>
#include <set>
#include <string>

namespace Ui {
class TFormPreferences;
}

namespace mzb {

class TFormMain;
struct CommonSettings;

class TFormPreferences : public QDialog {
    Q_OBJECT

public:
    explicit TFormPreferences(TFormMain& form);
    ~TFormPreferences() override;

    Ui::TFormPreferences& Controls() { return *ui; }
    // The Backup options the main window takes when the window closes,
    // however it closed: zero padding, its width and overwrite.
    void CopyBackupOptionsTo(CommonSettings& settings) const;

    // --- handlers ---
    void FormCreate();
    void cbRunClick();
    // Loads the schedule of the project named in cbProject.
    void cbProjectChange();
    // The enabling rules of the three modes, shared by the radio buttons.
    void radioOnceClick();
    void cbAutoRunClick();
    void SpsaveClick();
    void SpCancelClick();
    void btnApplyClick();
    void btnCloseClick();
    // Save and discard on while an edit is pending; the project selector,
    // Apply and Close off.
    void SetScheduleDirty(bool dirty);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ShownSchedule ShownControls() const;
    void ShowScheduleTimes();
    void SetAutoRunColour();
    void MarkProjects();
    // Writes or removes the autostart entry; false, after the error
    // message, when that failed.
    bool RegisterStartup();

    std::unique_ptr<Ui::TFormPreferences> ui;
    TFormMain& form_;
    // Projects whose schedule was saved here; the table follows it at Apply.
    std::set<std::string> awaitingApply_;
};

} // namespace mzb
