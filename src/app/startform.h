#pragma once

#include <QWidget>

namespace km {

// The start picture: borderless, on top, centred; a click closes it.
class TStartForm : public QWidget {
    Q_OBJECT
public:
    explicit TStartForm(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace km
