#pragma once
// The wildcard window: a directory chosen in one tree from the root and a
// wildcard pattern, which together make one list entry. It opens at the
// directory chosen last (or, when that has gone, the nearest folder above
// it that is still there), the first time at the working directory.

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <string>

class QFileSystemModel;

namespace Ui {
class TFormselectbyfilter;
}

namespace mzb {

class TFormselectbyfilter : public QDialog {
    Q_OBJECT

public:
    explicit TFormselectbyfilter(QWidget* parent = nullptr);
    ~TFormselectbyfilter() override;

    // The chosen directory and the pattern as typed.
    std::string Directory() const;
    std::string Pattern() const;
    // Moves the tree to the directory, or to the nearest existing folder
    // above it (the prompt does this when it opens).
    void SelectDirectory(const QString& path);

    // Opens modally; the entry (directory, one '/', trimmed pattern) or
    // nothing when cancelled.
    static std::optional<std::string> Ask(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
    // Any click, wheel turn or key in the tree is the user taking over; a
    // new width of the directory label shortens its path anew.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DirectoryChanged();
    void ShowPendingDirectory();
    // The label shows the chosen directory shortened in the middle to its
    // width, so both the root and the folder's own name stay in sight.
    void ShowDirectory(const QString& path);
    void ElideDirectory();

    std::unique_ptr<Ui::TFormselectbyfilter> ui;
    QFileSystemModel* model_;
    // The directory the tree is brought to as the model lists and sorts the
    // folders above it, until the user takes over.
    QString pending_;
    bool movingTree_ = false; // the current row changes by the program
    QString directory_;       // the chosen directory, as DirLabel shows it in full
};

} // namespace mzb
