#include "core/editor/ControlStates.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

// The states written out control by control, in ControlStates' order.
ControlStates States(bool selector, bool rename, bool add, bool edit, bool erase, bool save,
                     bool cancel, bool start, bool restore, bool preferences, bool pages, bool tray,
                     bool cancelRun, bool scheduled) {
    return {selector, rename,  add,         edit,  erase, save,      cancel,
            start,    restore, preferences, pages, tray,  cancelRun, scheduled};
}

TEST(ControlStatesTest, EditStateAndRunLockCombineSoNeitherEnablesWhatTheOtherDisabled) {
    const struct {
        const char* what;
        WindowActivity activity;
        ControlStates expected;
    } cases[] = {
        {"idle view",
         {false, false, false},
         States(true, true, true, true, true, false, false, true, true, true, true, true, false,
                true)},
        {"editing",
         {true, false, false},
         States(false, false, false, false, false, true, true, false, false, false, true, true,
                false, false)},
        {"running",
         {false, true, false},
         States(false, false, false, false, false, false, false, false, false, false, false, false,
                true, false)},
        // Edit then Cancel during a tray backup leaves the editor in view
        // mode, and still nothing but the run's Cancel may be used.
        {"running, started from the tray while editing",
         {true, true, false},
         States(false, false, false, false, false, false, false, false, false, false, false, false,
                true, false)},
        {"running while a question is open",
         {false, true, true},
         States(false, false, false, false, false, false, false, false, false, false, false, false,
                true, false)},
        // Delete's question stays open while a tray click or a tick would
        // select another project under it.
        {"idle view with a question open",
         {false, false, true},
         States(true, true, true, true, true, false, false, true, true, true, true, false, false,
                false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ControlStates got = EnabledControls(c.activity);
        EXPECT_EQ(got.ProjectSelector, c.expected.ProjectSelector);
        EXPECT_EQ(got.RenameProject, c.expected.RenameProject);
        EXPECT_EQ(got.NewProject, c.expected.NewProject);
        EXPECT_EQ(got.EditProject, c.expected.EditProject);
        EXPECT_EQ(got.DeleteProject, c.expected.DeleteProject);
        EXPECT_EQ(got.SaveProject, c.expected.SaveProject);
        EXPECT_EQ(got.CancelEdit, c.expected.CancelEdit);
        EXPECT_EQ(got.StartBackup, c.expected.StartBackup);
        EXPECT_EQ(got.StartRestore, c.expected.StartRestore);
        EXPECT_EQ(got.Preferences, c.expected.Preferences);
        EXPECT_EQ(got.Pages, c.expected.Pages);
        EXPECT_EQ(got.TrayBackupMenu, c.expected.TrayBackupMenu);
        EXPECT_EQ(got.CancelRun, c.expected.CancelRun);
        EXPECT_EQ(got.ScheduledBackups, c.expected.ScheduledBackups);
    }
}

} // namespace
} // namespace mzb
