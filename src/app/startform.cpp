#include "app/startform.h"

#include "ui/icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace km {

TStartForm::TStartForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("StartForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(350, 250);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TStartForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Drawn for the screen it is on: sharp at any scale.
    p.drawPixmap(0, 0, Icons::SplashPicture(size(), devicePixelRatioF()));
}

void TStartForm::mousePressEvent(QMouseEvent*) { close(); }

} // namespace km
