#include "ui/Taboutform.h"

#include "ui/ProductInfo.h"
#include "ui/UserGuide.h"
#include "ui_Taboutform.h"

namespace mzb {

Taboutform::Taboutform(std::string helpFile, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::Taboutform>()), helpFile_(std::move(helpFile)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    ui->LabelHeading->setText(QString::fromLatin1(kAboutHeading));
    // The product's own page is the guide shipped with it.
    ui->Label6->setText(QString::fromStdString(helpFile_));
    setFixedSize(sizeHint());
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Label6, &LinkLabel::clicked, this, &Taboutform::Label6Click);
}

Taboutform::~Taboutform() = default;

void Taboutform::Label6Click() {
    OpenUserGuide(parentWidget(), helpFile_);
}

} // namespace mzb
