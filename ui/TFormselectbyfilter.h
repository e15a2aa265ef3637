#pragma once
// The wildcard window: a directory chosen in one tree from the root and a
// wildcard pattern, which together make one list entry. It opens at the
// directory chosen last, the first time at the working directory.

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
    // Moves the tree to the directory (the prompt does this when it opens).
    void SelectDirectory(const QString& path);

    // Opens modally; the entry (directory, one '/', trimmed pattern) or
    // nothing when cancelled.
    static std::optional<std::string> Ask(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DirectoryChanged();
    void ShowPendingDirectory();

    std::unique_ptr<Ui::TFormselectbyfilter> ui;
    QFileSystemModel* model_;
    QString pending_; // the directory the tree is still on its way to
};

} // namespace mzb
