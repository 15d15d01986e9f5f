#pragma once

#include <QDialog>
#include <QObject>
#include <QPoint>

class QToolButton;

namespace km {

struct TCommandContext;
class TShell;

// The maker's address for mail from the about box.
inline constexpr const char* kMakerMail = "klangmappe@fennwick.example";

// "Info": one borderless picture with invisible buttons over its links and
// close boxes. Dragging the picture with any mouse button moves the window.
// Tab moves a ring from place to place; Enter and Space press the place in
// it (at first OK, which closes), Escape closes.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(TShell& shell, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* Button(const char* name, const QRect& area, const QString& accessibleName);

    TShell& m_shell;
    QWidget* Image1;
    bool m_dragging = false;
    QPoint m_dragStart; // on the picture
};

// The commands of the help menu: the about box and the maker's web pages.
class TInfoCommand : public QObject {
    Q_OBJECT
public:
    explicit TInfoCommand(const TCommandContext& context);

private:
    void ActInfoExecute();

    TShell& m_shell;
    QWidget* m_window;
};

} // namespace km
