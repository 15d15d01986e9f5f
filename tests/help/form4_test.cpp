#include "help/form4.h"

#include "model/addresses.h"
#include "ui/icons.h"
#include "support/commandfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QAccessible>
#include <QToolButton>

namespace km {
namespace {

class About : public test::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        form = std::make_unique<TForm4>(shell);
        form->show();
    }
    void TearDown() override { form.reset(); }
    QToolButton* Button(const char* name) const { return form->findChild<QToolButton*>(name); }
    // A mouse event as the picture receives it, at `at` on the picture.
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button) const
    {
        QWidget* image = form->findChild<QWidget*>("Image1");
        QMouseEvent event(type, QPointF(at), QPointF(image->mapToGlobal(at)), button,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
        QCoreApplication::sendEvent(image, &event);
    }

    std::unique_ptr<TForm4> form;
};

TEST_F(About, FiveInvisibleButtonsOverThePicture)
{
    EXPECT_EQ(form->size(), QSize(350, 374));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->windowTitle(), "Info");
    EXPECT_EQ(form->findChild<QWidget*>("Image1")->geometry(), QRect(0, 0, 350, 374));
    const std::pair<const char*, QRect> places[] = {
        {"SpeedButton1", {326, 5, 17, 16}},
        {"SpeedButton2", {101, 282, 112, 15}},
        {"SpeedButton3", {101, 298, 166, 15}},
        {"SpeedButton4", {101, 313, 197, 16}},
        {"SpeedButton5", {284, 330, 56, 39}},
    };
    for (const auto& [name, place] : places) {
        ASSERT_NE(Button(name), nullptr) << name;
        EXPECT_EQ(Button(name)->geometry(), place) << name;
        EXPECT_EQ(Button(name)->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_TRUE(Button(name)->text().isEmpty()) << name;
    }
    Button("SpeedButton2")->click();
    Button("SpeedButton3")->click();
    Button("SpeedButton4")->click();
    EXPECT_EQ(shell.addresses,
        QStringList({QStringLiteral("mailto:") + QLatin1String(kMakerMail), QString::fromLatin1(kHomepageAddress),
            QString::fromLatin1(kFreewareAddress)}));
    EXPECT_TRUE(form->isVisible()) << "links leave the window open";
    for (const char* closer : {"SpeedButton1", "SpeedButton5"}) {
        form->show();
        Button(closer)->click();
        EXPECT_FALSE(form->isVisible()) << closer;
    }
}

TEST_F(About, DraggingWithAnyButtonMovesTheWindow)
{
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        form->move(200, 150);
        Mouse(QEvent::MouseButtonPress, {40, 50}, button);
        Mouse(QEvent::MouseMove, {70, 30}, button);
        EXPECT_EQ(form->pos(), QPoint(230, 130)) << button;
        // The picture went along: the pointer is at its old place on it.
        Mouse(QEvent::MouseMove, {40, 50}, button);
        EXPECT_EQ(form->pos(), QPoint(230, 130)) << button;
        Mouse(QEvent::MouseButtonRelease, {40, 50}, button);
        Mouse(QEvent::MouseMove, {90, 90}, Qt::NoButton);
        EXPECT_EQ(form->pos(), QPoint(230, 130)) << button << ": released";
    }
}

TEST_F(About, EnterAndEscapeCloseOtherKeysDoNot)
{
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_A, Qt::Key_Tab, Qt::Key_F4, Qt::Key_Down})
        QTest::keyClick(form.get(), key);
    EXPECT_TRUE(form->isVisible());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        form->show();
        QTest::keyClick(form.get(), key);
        EXPECT_FALSE(form->isVisible()) << key;
    }
}

TEST_F(About, ActInfoShowsTheWindowModallyAndFreesIt)
{
    form.reset();
    new TInfoCommand(context);
    QPointer<QDialog> shown;
    bool modal = false;
    QPoint centre;
    WhenDialogShows([&](QDialog* f) {
        shown = f;
        modal = f->isModal() && qobject_cast<TForm4*>(f);
        centre = f->geometry().center();
        QTest::keyClick(f, Qt::Key_Escape);
    });
    Trigger("ActInfo");
    EXPECT_TRUE(modal);
    EXPECT_LE((centre - window.screen()->geometry().center()).manhattanLength(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
}

TEST_F(About, TheKeyboardReachesEveryPlaceAndARingShowsWhich)
{
    const std::pair<const char*, const char*> named[] = {{"SpeedButton1", "Schließen"},
        {"SpeedButton2", "Schreiben Sie uns"}, {"SpeedButton3", "Klangmappe im Internet"},
        {"SpeedButton4", "mehr Freeware von Fennwick"}, {"SpeedButton5", "OK"}};
    for (const auto& [object, name] : named)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(Button(object))->text(QAccessible::Name), name) << object;

    QApplication::setActiveWindow(form.get());
    ASSERT_EQ(QApplication::focusWidget(), Button("SpeedButton5")) << "Enter closes at first";
    // Pixels that change around a place when the focus comes or goes.
    const auto changedAround = [](const QImage& a, const QImage& b, const QRect& place) {
        int changed = 0;
        const QRect around = place.adjusted(-3, -3, 3, 3);
        for (int y = around.top(); y <= around.bottom(); ++y)
            for (int x = around.left(); x <= around.right(); ++x)
                changed += a.pixel(x, y) != b.pixel(x, y);
        return changed;
    };
    const QImage onOk = form->grab().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Button("SpeedButton1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Button("SpeedButton2"));
    const QImage onMail = form->grab().toImage();
    EXPECT_GT(changedAround(onOk, onMail, Button("SpeedButton2")->geometry()), 20) << "the ring came";
    EXPECT_GT(changedAround(onOk, onMail, Button("SpeedButton5")->geometry()), 20) << "the ring went";

    // Space and Enter press the place in the ring; a link leaves the window open.
    QTest::keyClick(Button("SpeedButton2"), Qt::Key_Space);
    QTest::keyClick(Button("SpeedButton2"), Qt::Key_Tab);
    QTest::keyClick(Button("SpeedButton3"), Qt::Key_Return);
    EXPECT_EQ(shell.addresses,
        QStringList({QStringLiteral("mailto:") + QLatin1String(kMakerMail), QString::fromLatin1(kHomepageAddress)}));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(About, PicturesAreDrawnAtTheScreensPixelRatio)
{
    const Icons::TInfoLinks links {{326, 5, 17, 16}, {101, 282, 112, 15}, {101, 298, 166, 15}, {101, 313, 197, 16},
        {284, 330, 56, 39}, "a", "b", "c"};
    for (const qreal dpr : {1.0, 1.5, 2.0}) {
        const QPixmap info = Icons::InfoPicture(links, dpr);
        EXPECT_EQ(info.devicePixelRatio(), dpr);
        EXPECT_EQ(info.size(), QSize(qCeil(350 * dpr), qCeil(374 * dpr))) << dpr;
        EXPECT_EQ(info.deviceIndependentSize(), QSizeF(350, 374)) << "the places stay where they are";
        const QPixmap splash = Icons::SplashPicture(QSize(350, 250), dpr);
        EXPECT_EQ(splash.devicePixelRatio(), dpr);
        EXPECT_EQ(splash.size(), QSize(qCeil(350 * dpr), qCeil(250 * dpr))) << dpr;
    }
}

} // namespace
} // namespace km
