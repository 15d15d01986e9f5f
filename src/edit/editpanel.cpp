#include "edit/editpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace km {

int FontScaled(int designPixels, const QWidget* widget)
{
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    constexpr qreal kDesignAdvance = 6.0;
    const qreal advance = widget->fontMetrics().horizontalAdvance(letters) / qreal(letters.size());
    // Never smaller than designed: the sizes are small already.
    return qRound(designPixels * std::max<qreal>(1.0, advance / kDesignAdvance));
}

TUpDown::TUpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
    , m_min(minimum)
    , m_max(maximum)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Associate(QLineEdit* edit) { m_edit = edit; }

void TUpDown::SetPosition(int position) { m_position = std::clamp(position, m_min, m_max); }

void TUpDown::Step(int delta)
{
    SetPosition(m_position + delta);
    // The number goes into the field as if typed: it counts as an edit.
    if (m_edit) {
        m_edit->setText(QString::number(m_position));
        m_edit->setModified(true);
    }
}

namespace {
QLineEdit* Field(QWidget* parent, const char* name, int tag, int maxLength)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setProperty("Tag", tag);
    edit->setMaxLength(maxLength);
    return edit;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    return label;
}

QWidget* WithUpDown(QWidget* parent, QLineEdit* edit, TUpDown* upDown, int width)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    edit->setFixedWidth(width);
    layout->addWidget(edit);
    layout->addWidget(upDown);
    return box;
}
} // namespace

TEditFields::TEditFields(QWidget* parent)
    : QWidget(parent)
{
    ETitel = Field(this, "ETitel", 1, 30);
    ESaenger = Field(this, "ESaenger", 2, 30);
    EAlbum = Field(this, "EAlbum", 3, 30);
    ETitelnr = Field(this, "ETitelnr", 4, 3);
    EJahr = Field(this, "EJahr", 5, 4);
    EBemerkung = Field(this, "EBemerkung", 7, 29);
    EMusikrichtung = new QComboBox(this);
    EMusikrichtung->setObjectName(QStringLiteral("EMusikrichtung"));
    EMusikrichtung->setProperty("Tag", 6);
    EMusikrichtung->setEditable(false);
    EMusikrichtung->setMaxVisibleItems(20);
    UpDown1 = new TUpDown(0, 256, this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown2 = new TUpDown(0, 9999, this);
    UpDown2->setObjectName(QStringLiteral("UpDown2"));
    ETitelnr->setText(QStringLiteral("0"));
    EJahr->setText(QStringLiteral("0"));
    UpDown1->Associate(ETitelnr);
    CBVorgabe = new QCheckBox(QStringLiteral("&Vorgabe"), this);
    CBVorgabe->setObjectName(QStringLiteral("CBVorgabe"));

    Warnung = new QLabel(
        QStringLiteral(" Achtung: Sie haben mehrere Dateien markiert. Änderungen betreffen alle markierten Dateien!"), this);
    Warnung->setObjectName(QStringLiteral("Warnung"));
    Warnung->setAutoFillBackground(true);
    QPalette warn = Warnung->palette();
    warn.setColor(QPalette::Window, QColor(255, 255, 200));
    warn.setColor(QPalette::WindowText, QColor(160, 0, 0));
    Warnung->setPalette(warn);
    Warnung->setFrameStyle(QFrame::Box | QFrame::Plain);
    Warnung->setWordWrap(true); // never wider than the panel
    Warnung->hide();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    grid->addWidget(Label(this, "&Titel:", ETitel), 0, 0);
    grid->addWidget(ETitel, 0, 1);
    grid->addWidget(Label(this, "&Interpret:", ESaenger), 0, 2);
    grid->addWidget(ESaenger, 0, 3, 1, 3);
    grid->addWidget(Label(this, "Alb&um:", EAlbum), 1, 0);
    grid->addWidget(EAlbum, 1, 1);
    grid->addWidget(Label(this, "Titel&nummer:", ETitelnr), 1, 2);
    grid->addWidget(WithUpDown(this, ETitelnr, UpDown1, FontScaled(40, this)), 1, 3);
    grid->addWidget(Label(this, "&Jahr:", EJahr), 1, 4, Qt::AlignRight);
    grid->addWidget(WithUpDown(this, EJahr, UpDown2, FontScaled(50, this)), 1, 5);
    grid->addWidget(Label(this, "Musik&richtung:", EMusikrichtung), 2, 0);
    grid->addWidget(EMusikrichtung, 2, 1);
    grid->addWidget(Label(this, "Be&merkung:", EBemerkung), 2, 2);
    grid->addWidget(EBemerkung, 2, 3, 1, 3);
    grid->addWidget(CBVorgabe, 3, 1);
    // Title and artist share the room about evenly: the artist's column also
    // holds the track number and the year.
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 0);
    grid->setColumnStretch(5, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(Warnung);
    layout->addLayout(grid);
    layout->addStretch(1);

    // Tab goes through the fields in reading order.
    QWidget::setTabOrder(ETitel, ESaenger);
    QWidget::setTabOrder(ESaenger, EAlbum);
    QWidget::setTabOrder(EAlbum, ETitelnr);
    QWidget::setTabOrder(ETitelnr, EJahr);
    QWidget::setTabOrder(EJahr, EMusikrichtung);
    QWidget::setTabOrder(EMusikrichtung, EBemerkung);
    QWidget::setTabOrder(EBemerkung, CBVorgabe);
}

std::array<QWidget*, 7> TEditFields::InFlagOrder() const
{
    return {ETitel, ESaenger, EAlbum, EJahr, EBemerkung, ETitelnr, EMusikrichtung};
}

std::array<QLineEdit*, 6> TEditFields::TextFields() const { return {ETitel, ESaenger, EAlbum, EJahr, EBemerkung, ETitelnr}; }

} // namespace km
