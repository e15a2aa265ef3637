#pragma once
// The name prompt of New and Rename: one text field with Ok and Cancel. Ok
// with a blank name warns and keeps the prompt open.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TFormProjectName;
}

namespace mzb {

class RunHost;

class TFormProjectName : public QDialog {
    Q_OBJECT

public:
    // `host` shows the warning about a blank name.
    TFormProjectName(RunHost& host, QWidget* parent = nullptr);
    ~TFormProjectName() override;

    // Opens the prompt modally with the caption and the text in the field;
    // the name, trimmed, or nothing when the prompt was cancelled.
    std::optional<std::string> Ask(const QString& caption, const QString& text);

private:
    void ButtonOkClick();

    std::unique_ptr<Ui::TFormProjectName> ui;
    RunHost& host_;
};

} // namespace mzb
