#include "ui/RestorePage.h"

#include "ui_RestorePage.h"

namespace mzb {

RestorePage::RestorePage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::RestorePage>()) {
    ui->setupUi(this);
}

RestorePage::~RestorePage() = default;

void RestorePage::Attach(TFormMain& form) {
    form_ = &form;
}

void RestorePage::SetGridHeadings() {}

void RestorePage::PageActivated() {}

void RestorePage::StartRestore() {}

void RestorePage::SetSortMarks(int byField, int sort) {
    sortField_ = byField;
    sortOrder_ = sort;
}

} // namespace mzb
