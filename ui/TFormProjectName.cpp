#include "ui/TFormProjectName.h"

#include "core/base/RunHost.h"
#include "platform/Blanks.h"
#include "ui/WindowPlacement.h"
#include "ui_TFormProjectName.h"

namespace mzb {

TFormProjectName::TFormProjectName(RunHost& host, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormProjectName>()), host_(host) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    FixDialogSize(*this, QSize(225, 136));
    connect(ui->ButtonOk, &QPushButton::clicked, this, &TFormProjectName::ButtonOkClick);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormProjectName::~TFormProjectName() = default;

std::optional<std::string> TFormProjectName::Ask(const QString& caption, const QString& text) {
    setWindowTitle(caption);
    ui->EditProjName->setText(text);
    ui->EditProjName->selectAll();
    ui->EditProjName->setFocus();
    CentreOnScreen(*this);
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return std::string(TrimBlanks(ui->EditProjName->text().toStdString()));
}

void TFormProjectName::ButtonOkClick() {
    if (TrimBlanks(ui->EditProjName->text().toStdString()).empty()) {
        host_.ShowMessage("Please input project name", MessageKind::Warning);
        return;
    }
    accept();
}

} // namespace mzb
