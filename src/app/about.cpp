#include "app/about.h"

#include "app/addresses.h"
#include "app/icons.h"
#include "browse/commandtable.h"
#include "platform/shell.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>

namespace km {

namespace {

const Icons::TInfoLinks kLinks {
    {326, 5, 17, 16},
    {101, 282, 112, 15},
    {101, 298, 166, 15},
    {101, 313, 197, 16},
    {284, 330, 56, 39},
    QStringLiteral("Schreiben Sie uns"),
    QStringLiteral("Klangmappe im Internet"),
    QStringLiteral("mehr Freeware von Fennwick"),
};

} // namespace

TForm4::TForm4(TShell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(350, 374);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Icons::InfoPicture(kLinks));
    Image1->setGeometry(0, 0, 350, 374);
    Image1->installEventFilter(this);

    const auto open = [this](const QString& address) { return [this, address] { m_shell.OpenAddress(address); }; };
    connect(Button("SpeedButton1", kLinks.Close), &QToolButton::clicked, this, &QDialog::close);
    QToolButton* mail = Button("SpeedButton2", kLinks.Mail);
    mail->setToolTip(QString::fromLatin1(kMakerMail));
    connect(mail, &QToolButton::clicked, this, open(QStringLiteral("mailto:") + QLatin1String(kMakerMail)));
    QToolButton* home = Button("SpeedButton3", kLinks.Homepage);
    home->setToolTip(QString::fromLatin1(kHomepageAddress));
    connect(home, &QToolButton::clicked, this, open(QString::fromLatin1(kHomepageAddress)));
    QToolButton* more = Button("SpeedButton4", kLinks.Freeware);
    more->setToolTip(QString::fromLatin1(kFreewareAddress));
    connect(more, &QToolButton::clicked, this, open(QString::fromLatin1(kFreewareAddress)));
    connect(Button("SpeedButton5", kLinks.Ok), &QToolButton::clicked, this, &QDialog::close);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->geometry().center() - rect().center());
}

// Flat and see-through: the picture draws what the button stands for.
QToolButton* TForm4::Button(const char* name, const QRect& area)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(area);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    // Keys belong to the window: Enter must close it, not press a button.
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    return button;
}

void TForm4::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        close();
        break;
    default:
        break;
    }
    event->accept();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Image1)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_dragStart = static_cast<QMouseEvent*>(event)->position().toPoint();
        m_dragging = true;
        return true;
    case QEvent::MouseMove:
        if (m_dragging)
            move(pos() + static_cast<QMouseEvent*>(event)->position().toPoint() - m_dragStart);
        return true;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

TInfoCommand::TInfoCommand(TCommandTable& commands, TShell& shell, QWidget* window)
    : QObject(window)
    , m_shell(shell)
    , m_window(window)
{
    commands.On(QStringLiteral("ActInfo"), [this] { ActInfoExecute(); });
}

void TInfoCommand::ActInfoExecute()
{
    auto* form = new TForm4(m_shell, m_window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->exec();
}

} // namespace km
