#include "ui/BackupPage.h"

#include "platform/KnownDirectories.h"
#include "ui_BackupPage.h"

namespace mzb {

BackupPage::BackupPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::BackupPage>()) {
    ui->setupUi(this);
}

BackupPage::~BackupPage() = default;

void BackupPage::Attach(TFormMain& form) {
    form_ = &form;
}

void BackupPage::LoadSelectedProject() {}

bool BackupPage::StartBackup() {
    return true;
}

} // namespace mzb

namespace mzb {

std::string BackupPage::SavePath() const {
    return HomeDirectory();
}

} // namespace mzb
