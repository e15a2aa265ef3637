#include "ui/Taboutform.h"

#include "platform/qt/DefaultHandler.h"
#include "ui/ProductInfo.h"
#include "ui_Taboutform.h"

namespace mzb {

Taboutform::Taboutform(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Taboutform>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    ui->LabelHeading->setText(QString::fromLatin1(kAboutHeading));
    ui->Label6->setText(QString::fromLatin1(kWebAddress));
    ui->Label4->setText(QString::fromLatin1(kSupportAddress));
    setFixedSize(sizeHint());
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Label6, &LinkLabel::clicked, this, &Taboutform::Label6Click);
    connect(ui->Label4, &LinkLabel::clicked, this, &Taboutform::Label4Click);
}

Taboutform::~Taboutform() = default;

void Taboutform::Label6Click() {
    OpenUrlWithDefaultHandler(ui->Label6->text().toStdString());
}

void Taboutform::Label4Click() {
    OpenUrlWithDefaultHandler("mailto:" + ui->Label4->text().toStdString());
}

} // namespace mzb
