#pragma once
// The "Restore" page (TabRestore): the archive list of one folder with its
// sort and delete menu, the contents of the selected archive and the
// Start Restore run with its destination, password and overwrite mode.

#include <QWidget>
#include <memory>

namespace Ui {
class RestorePage;
}

namespace mzb {

class TFormMain;

class RestorePage : public QWidget {
    Q_OBJECT

public:
    explicit RestorePage(QWidget* parent = nullptr);
    ~RestorePage() override;

    // The main window the page belongs to; given once, right after the
    // window has built its controls.
    void Attach(TFormMain& form);

    // Row 0 of the archive list and of the contents grid.
    void SetGridHeadings();
    // The page became the active one: it lists the project's save folder.
    void PageActivated();
    // SpRestoreClick: restores the archive of the list's current row.
    void StartRestore();

    // The sort of the archive list, as the sort menu's marks show it:
    // "By Field" (0 name, 1 size, 2 date) and "Sort" (0 ascending, 1
    // descending).
    void SetSortMarks(int byField, int sort);
    int MarkedSortField() const { return sortField_; }
    int MarkedSortOrder() const { return sortOrder_; }

private:
    std::unique_ptr<Ui::RestorePage> ui;
    TFormMain* form_ = nullptr;
    int sortField_ = 0;
    int sortOrder_ = 0;
};

} // namespace mzb
