#include "app/about.h"

#include "app/addresses.h"
#include "support/windowfixture.h"

#include <QToolButton>

namespace km {
namespace {

class About : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        form = std::make_unique<TForm4>(shell);
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        WindowTest::TearDown();
    }
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
    Start({QString::fromStdString(music)});
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
    EXPECT_LE((centre - window->screen()->geometry().center()).manhattanLength(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
}

} // namespace
} // namespace km
