#include "browse/formspalten.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace km {

namespace {
constexpr int kFallbackWidth = 100;

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// Keys that still do their usual job in the width field: they belong to the
// dialog (default and cancel button, focus) or are no typed characters.
bool PassesWidthField(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Backspace:
        return false;
    default:
        break;
    }
    const QString text = key.text();
    if (text.isEmpty())
        return true;
    return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}
} // namespace

int ColumnWidthOfText(const QString& text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return kFallbackWidth;
    // Digits only: anything too long to convert is far above the limit.
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > kMaxColumnWidth)
        return kMaxColumnWidth;
    return static_cast<int>(value);
}

TFormSpalten::TFormSpalten(const std::vector<TColumnPair>& shown, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
{
    setWindowTitle(QStringLiteral("Spalteneinstellungen"));

    auto* hint = new QLabel(QStringLiteral("Setzen Sie einen Haken vor die Spalten, die Sie anzeigen möchten."), this);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("CheckListBox1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    m_edit->setMaximumWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 16);
    m_edit->installEventFilter(this);
    auto* widthLabel = new QLabel(QStringLiteral("&Spaltenbreite:"), this);
    widthLabel->setBuddy(m_edit);

    auto* widthRow = new QHBoxLayout;
    widthRow->addWidget(widthLabel);
    widthRow->addWidget(m_edit);
    widthRow->addWidget(new QLabel(QStringLiteral("Pixel"), this));
    widthRow->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(hint);
    left->addWidget(m_list, 1);
    left->addLayout(widthRow);

    QPushButton* ok = MakeButton(QStringLiteral("OK"), "BtnOK", this);
    QPushButton* cancel = MakeButton(QStringLiteral("Abbrechen"), "BtnAbbrechen", this);
    QPushButton* up = MakeButton(QStringLiteral("Nach &oben"), "BtnNachOben", this);
    QPushButton* down = MakeButton(QStringLiteral("Nach &unten"), "BtnNachUnten", this);
    QPushButton* reset = MakeButton(QStringLiteral("&Zurücksetzen"), "BtnZuruecksetzen", this);
    ok->setDefault(true);

    auto* right = new QVBoxLayout;
    right->addWidget(ok);
    right->addWidget(cancel);
    right->addSpacing(fontMetrics().height());
    right->addWidget(up);
    right->addWidget(down);
    right->addSpacing(fontMetrics().height());
    right->addWidget(reset);
    right->addStretch();

    auto* main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addLayout(right);

    connect(m_list, &QListWidget::currentRowChanged, this, &TFormSpalten::CurrentRowChanged);
    connect(up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { Move(+1); });
    connect(reset, &QPushButton::clicked, this, &TFormSpalten::BtnZuruecksetzenClick);
    connect(ok, &QPushButton::clicked, this, &TFormSpalten::BtnOKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    Fill(shown);
    // Tall enough to show every column without scrolling.
    m_list->setMinimumHeight(m_list->sizeHintForRow(0) * kColumnCount + 2 * m_list->frameWidth() + 4);
}

void TFormSpalten::Fill(const std::vector<TColumnPair>& checked)
{
    // The list holds each id once: a repeated shown id keeps its first place and width.
    std::array<bool, kColumnCount> listed {};
    std::vector<std::pair<TColumnPair, bool>> rows;
    for (const TColumnPair& pair : checked) {
        if (!IsColumnId(pair.Id) || listed[static_cast<std::size_t>(pair.Id)])
            continue;
        listed[static_cast<std::size_t>(pair.Id)] = true;
        rows.push_back({pair, true});
    }
    for (int id = 0; id < kColumnCount; ++id)
        if (!listed[static_cast<std::size_t>(id)])
            rows.push_back({{id, ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth}, false});

    {
        const QSignalBlocker blocker(m_list);
        m_list->clear();
        m_widths.clear();
        for (const auto& [pair, isChecked] : rows) {
            auto* item = new QListWidgetItem(ColumnCaption(pair.Id), m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(isChecked ? Qt::Checked : Qt::Unchecked);
            m_widths.push_back(pair.Width);
        }
        m_current = -1;
    }
    m_list->setCurrentRow(0);
}

void TFormSpalten::StoreWidthField()
{
    if (m_current >= 0 && m_current < static_cast<int>(m_widths.size()))
        m_widths[static_cast<std::size_t>(m_current)] = ColumnWidthOfText(m_edit->text());
}

void TFormSpalten::CurrentRowChanged(int row)
{
    if (row == m_current)
        return;
    StoreWidthField();
    m_current = row;
    if (row >= 0)
        m_edit->setText(QString::number(m_widths[static_cast<std::size_t>(row)]));
}

void TFormSpalten::Move(int step)
{
    const int row = m_list->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_list->count()) {
        m_dialogs.Beep();
        return;
    }
    QListWidgetItem* moved = m_list->item(row);
    QListWidgetItem* other = m_list->item(target);
    const QString caption = moved->text();
    const Qt::CheckState state = moved->checkState();
    moved->setText(other->text());
    moved->setCheckState(other->checkState());
    other->setText(caption);
    other->setCheckState(state);
    std::swap(m_widths[static_cast<std::size_t>(row)], m_widths[static_cast<std::size_t>(target)]);

    // The field's text still belongs to the moved item: follow it to its new place.
    if (m_current == row)
        m_current = target;
    m_list->setCurrentRow(target);
}

void TFormSpalten::BtnZuruecksetzenClick() { Fill(DefaultColumnLayout()); }

void TFormSpalten::BtnOKClick()
{
    StoreWidthField();
    m_result.clear();
    for (int row = 0; row < m_list->count(); ++row) {
        const QListWidgetItem* item = m_list->item(row);
        if (item->checkState() != Qt::Checked)
            continue;
        const int id = ColumnOfCaption(item->text());
        if (id >= 0)
            m_result.push_back({id, m_widths[static_cast<std::size_t>(row)]});
    }
    accept();
}

bool TFormSpalten::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress
        && !PassesWidthField(*static_cast<QKeyEvent*>(event))) {
        m_dialogs.Beep();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace km
