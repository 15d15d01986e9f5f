#include "edit/editfields.h"

#include "platform/charset.h"
#include "ui/icons.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStylePainter>
#include <QToolButton>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace km {

int CutToByteWidth(QString& text, int end, int width)
{
    const TCharset& charset = ID3v1Charset();
    if (!charset.Info().MultiByte)
        return end;
    while (end > 0 && charset.FromQString(text).size() > static_cast<std::size_t>(width)) {
        int from = end - 1;
        if (from > 0 && text[from].isLowSurrogate() && text[from - 1].isHighSurrogate())
            --from;
        text.remove(from, end - from);
        end = from;
    }
    return end;
}

namespace {
// The field's width counts bytes: of an insertion, what does not fit is
// dropped, as the length limit drops characters.
class TByteWidth : public QValidator {
public:
    TByteWidth(int width, QObject* parent) : QValidator(parent), m_width(width) {}
    State validate(QString& input, int& pos) const override
    {
        pos = CutToByteWidth(input, pos, m_width);
        return Acceptable;
    }

private:
    int m_width;
};
} // namespace

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
    m_up->setAccessibleName(QStringLiteral("Erhöhen"));
    m_down->setAccessibleName(QStringLiteral("Verringern"));
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Associate(QLineEdit* edit)
{
    if (m_edit)
        m_edit->removeEventFilter(this);
    m_edit = edit;
    if (m_edit)
        m_edit->installEventFilter(this);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

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

// The genre box shows what an empty differing field shows: its placeholder,
// in place of item 0, which it keeps (a placeholder is no choice).
class TGenreBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool ShowsPlaceholder() const { return currentIndex() == 0 && !placeholderText().isEmpty(); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!ShowsPlaceholder()) {
            QComboBox::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        // Styles draw the label with the pen or with ButtonText.
        const QBrush placeholder = palette().placeholderText();
        option.palette.setBrush(QPalette::ButtonText, placeholder);
        option.palette.setBrush(QPalette::Text, placeholder);
        option.currentText = placeholderText();
        painter.setPen(placeholder.color());
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

// Qt's own combo box takes its value for its name here; screen readers
// should hear the label, as with every other field.
class TGenreBoxAccessible : public QAccessibleWidget {
public:
    explicit TGenreBoxAccessible(TGenreBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* box = static_cast<const TGenreBox*>(widget());
        if (t == QAccessible::Value)
            return box->ShowsPlaceholder() ? box->placeholderText() : box->currentText();
        return QAccessibleWidget::text(t);
    }
    // The drop-down list, as Qt's own combo box has it: screen readers take the chosen item from there.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(static_cast<TGenreBox*>(widget())->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == static_cast<TGenreBox*>(widget())->view() ? 0 : -1;
    }
    QStringList actionNames() const override
    {
        return QStringList(showMenuAction()) << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            static_cast<TGenreBox*>(widget())->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* GenreBoxAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    auto* box = dynamic_cast<TGenreBox*>(object);
    return box ? new TGenreBoxAccessible(box) : nullptr;
}

// The strip that warns of a multiple selection: a warm tint of the window
// colour, with the palette's own text, readable in light and dark palettes.
class TWarnStrip : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QColor window = palette().color(QPalette::Window);
        const QColor text = palette().color(QPalette::WindowText);
        const QColor warm(255, 200, 0);
        QColor tint = window;
        for (int percent = 35; percent > 0; percent -= 5) {
            const QColor c = Icons::Mix(window, warm, percent / 100.0);
            if (Icons::Contrast(c, text) >= 4.5) {
                tint = c;
                break;
            }
        }
        {
            QPainter p(this);
            p.fillRect(rect(), tint);
        }
        QLabel::paintEvent(event);
    }
};

QLineEdit* Field(QWidget* parent, const char* name, int tag, int maxLength)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setProperty("Tag", tag);
    edit->setMaxLength(maxLength);
    if (tag != 4) // the track number is digits
        edit->setValidator(new TByteWidth(maxLength, edit));
    return edit;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    // Screen readers find a label only beside its field, and two fields sit
    // in boxes with their arrows: each field is named as its label reads.
    buddy->setAccessibleName(label->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')));
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
    static const bool accessible = [] {
        QAccessible::installFactory(&GenreBoxAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    EMusikrichtung = new TGenreBox(this);
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

    Warnung = new TWarnStrip(
        QStringLiteral(" Achtung: Sie haben mehrere Dateien markiert. Änderungen betreffen alle markierten Dateien!"), this);
    Warnung->setObjectName(QStringLiteral("Warnung"));
    Warnung->setFrameStyle(QFrame::Box | QFrame::Plain);
    Warnung->setWordWrap(true); // never wider than the panel
    Warnung->hide();
    ID3v2Abweichung = new QLabel(this);
    ID3v2Abweichung->setObjectName(QStringLiteral("ID3v2Abweichung"));
    ID3v2Abweichung->setTextFormat(Qt::PlainText);
    ID3v2Abweichung->hide();

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
    grid->addWidget(ID3v2Abweichung, 4, 0, 1, 6);
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

QLabel* TEditFields::LabelOf(const QWidget* field) const
{
    for (QLabel* label : findChildren<QLabel*>())
        if (label->buddy() == field)
            return label;
    return nullptr;
}

QString TEditFields::DifferingText() { return QStringLiteral("(verschieden)"); }

} // namespace km
