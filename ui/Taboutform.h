#pragma once
// The about box: the product and version, its web address and its support
// address, both opened with the desktop's default handler when clicked.

#include <QDialog>
#include <memory>

namespace Ui {
class Taboutform;
}

namespace mzb {

class Taboutform : public QDialog {
    Q_OBJECT

public:
    explicit Taboutform(QWidget* parent = nullptr);
    ~Taboutform() override;

private:
    void Label6Click();
    void Label4Click();

    std::unique_ptr<Ui::Taboutform> ui;
};

} // namespace mzb
