#pragma once
// A label that reads as a link: navy, turning red, underlined and with the
// hand cursor while the mouse is over it (both colours made readable on the
// palette's background); a click reports `clicked`.

#include <QLabel>

namespace mzb {

class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetHovered(bool hovered);
};

} // namespace mzb
