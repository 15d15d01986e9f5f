#include "help/form4.h"

#include "browse/commandcontext.h"
#include "model/addresses.h"
#include "platform/shell.h"
#include "ui/commandtable.h"
#include "ui/icons.h"
#include "ui/windowsystem.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActHomepage", "Hilfe", "Klangmappe - &Homepage", "", {}},
    {"ActWendmark", "Hilfe", "mehr &Freeware", "", {}},
    {"ActInfo", "Hilfe", "&Info", "", {}},
};

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

// The picture, drawn for the screen the window is on, with a ring around the
// place that has the keyboard focus (the places themselves draw nothing).
class TInfoImage : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const qreal dpr = devicePixelRatioF();
        if (m_picture.isNull() || m_picture.devicePixelRatio() != dpr)
            m_picture = Icons::InfoPicture(kLinks, dpr);
        QPainter p(this);
        p.drawPixmap(0, 0, m_picture);
        const QWidget* place = window()->focusWidget();
        if (!place || place == this || place->parentWidget() != parentWidget())
            return;
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        // Light on dark, in the links' colour: it stands out from the sky at
        // either end and from the white close box and OK button.
        const QRectF ring = QRectF(place->geometry().translated(-pos())).adjusted(-1.5, -1.5, 1.5, 1.5);
        p.setPen(QPen(QColor(0, 0, 0, 150), 4));
        p.drawRoundedRect(ring, 3, 3);
        p.setPen(QPen(QColor(255, 224, 130), 2));
        p.drawRoundedRect(ring, 3, 3);
    }

private:
    QPixmap m_picture;
};

// A clickable place over the picture: invisible, reached with Tab, pressed with Space.
class TInfoPlace : public QToolButton {
public:
    TInfoPlace(QWidget* parent, QWidget* picture)
        : QToolButton(parent)
        , m_picture(picture)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override {}
    void focusInEvent(QFocusEvent* event) override
    {
        QToolButton::focusInEvent(event);
        if (m_picture)
            m_picture->update();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QToolButton::focusOutEvent(event);
        if (m_picture)
            m_picture->update();
    }

private:
    QPointer<QWidget> m_picture; // the picture may go first when the window is freed
};

} // namespace

TForm4::TForm4(TShell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(350, 374);

    Image1 = new TInfoImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 350, 374);
    Image1->installEventFilter(this);

    // Each place is named as the picture reads there, for screen readers.
    const auto open = [this](const QString& address) { return [this, address] { m_shell.OpenAddress(address); }; };
    connect(Button("SpeedButton1", kLinks.Close, QStringLiteral("Schließen")), &QToolButton::clicked, this,
        &QDialog::close);
    QToolButton* mail = Button("SpeedButton2", kLinks.Mail, kLinks.MailText);
    mail->setToolTip(QString::fromLatin1(kMakerMail));
    connect(mail, &QToolButton::clicked, this, open(QStringLiteral("mailto:") + QLatin1String(kMakerMail)));
    QToolButton* home = Button("SpeedButton3", kLinks.Homepage, kLinks.HomepageText);
    home->setToolTip(QString::fromLatin1(kHomepageAddress));
    connect(home, &QToolButton::clicked, this, open(QString::fromLatin1(kHomepageAddress)));
    QToolButton* more = Button("SpeedButton4", kLinks.Freeware, kLinks.FreewareText);
    more->setToolTip(QString::fromLatin1(kFreewareAddress));
    connect(more, &QToolButton::clicked, this, open(QString::fromLatin1(kFreewareAddress)));
    QToolButton* ok = Button("SpeedButton5", kLinks.Ok, QStringLiteral("OK"));
    connect(ok, &QToolButton::clicked, this, &QDialog::close);
    // Enter presses the place with the focus: OK, until Tab moves it.
    ok->setFocus();

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->geometry().center() - rect().center());
}

// The picture draws what the button stands for.
QToolButton* TForm4::Button(const char* name, const QRect& area, const QString& accessibleName)
{
    auto* button = new TInfoPlace(this, Image1);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(area);
    button->setCursor(Qt::PointingHandCursor);
    button->setAccessibleName(accessibleName);
    // The keyboard reaches every place; a click does not move the ring.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void TForm4::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* place = qobject_cast<QToolButton*>(focusWidget()); place && place->parentWidget() == this)
            place->click();
        else
            close();
        break;
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
        // Only the compositor moves a window under Wayland; move() does nothing there.
        if (CompositorPlacesWindows() && windowHandle() && windowHandle()->startSystemMove())
            return true;
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

TInfoCommand::TInfoCommand(const TCommandContext& context)
    : QObject(context.Window)
    , m_shell(context.Shell)
    , m_window(context.Window)
{
    TCommandTable& commands = context.Commands;
    commands.Define(kCommands);
    commands.On(QStringLiteral("ActInfo"), [this] { ActInfoExecute(); });
    commands.On(QStringLiteral("ActHomepage"), [this] { m_shell.OpenAddress(QString::fromLatin1(kHomepageAddress)); });
    commands.On(QStringLiteral("ActWendmark"), [this] { m_shell.OpenAddress(QString::fromLatin1(kFreewareAddress)); });
}

void TInfoCommand::ActInfoExecute()
{
    auto* form = new TForm4(m_shell, m_window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->exec();
}

} // namespace km
