#pragma once
// The about box: the product and version, where its user guide lies (a
// link that opens it) and its support, which it does not offer yet.

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class Taboutform;
}

namespace mzb {

class Taboutform : public QDialog {
    Q_OBJECT

public:
    explicit Taboutform(std::string helpFile, QWidget* parent = nullptr);
    ~Taboutform() override;

private:
    void Label6Click();

    std::unique_ptr<Ui::Taboutform> ui;
    std::string helpFile_;
};

} // namespace mzb
