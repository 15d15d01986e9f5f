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
    , mDialogs(dialogs)
{
    setWindowTitle(QStringLiteral("Spalteneinstellungen"));

    auto* hint = new QLabel(QStringLiteral("Setzen Sie einen Haken vor die Spalten, die Sie anzeigen möchten."), this);

    mList = new QListWidget(this);
    mList->setObjectName(QStringLiteral("CheckListBox1"));
    mList->setSelectionMode(QAbstractItemView::SingleSelection);
    mList->setUniformItemSizes(true);

    mEdit = new QLineEdit(this);
    mEdit->setObjectName(QStringLiteral("Edit1"));
    mEdit->setMaximumWidth(mEdit->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 16);
    mEdit->installEventFilter(this);
    auto* widthLabel = new QLabel(QStringLiteral("&Spaltenbreite:"), this);
    widthLabel->setBuddy(mEdit);

    auto* widthRow = new QHBoxLayout;
    widthRow->addWidget(widthLabel);
    widthRow->addWidget(mEdit);
    widthRow->addWidget(new QLabel(QStringLiteral("Pixel"), this));
    widthRow->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(hint);
    left->addWidget(mList, 1);
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

    connect(mList, &QListWidget::currentRowChanged, this, &TFormSpalten::CurrentRowChanged);
    connect(up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { Move(+1); });
    connect(reset, &QPushButton::clicked, this, &TFormSpalten::BtnZuruecksetzenClick);
    connect(ok, &QPushButton::clicked, this, &TFormSpalten::BtnOKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    Fill(shown);
    // Tall enough to show every column without scrolling.
    mList->setMinimumHeight(mList->sizeHintForRow(0) * kColumnCount + 2 * mList->frameWidth() + 4);
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
        const QSignalBlocker blocker(mList);
        mList->clear();
        mWidths.clear();
        for (const auto& [pair, isChecked] : rows) {
            auto* item = new QListWidgetItem(ColumnCaption(pair.Id), mList);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(isChecked ? Qt::Checked : Qt::Unchecked);
            mWidths.push_back(pair.Width);
        }
        mCurrent = -1;
    }
    mList->setCurrentRow(0);
}

void TFormSpalten::StoreWidthField()
{
    if (mCurrent >= 0 && mCurrent < static_cast<int>(mWidths.size()))
        mWidths[static_cast<std::size_t>(mCurrent)] = ColumnWidthOfText(mEdit->text());
}

void TFormSpalten::CurrentRowChanged(int row)
{
    if (row == mCurrent)
        return;
    StoreWidthField();
    mCurrent = row;
    if (row >= 0)
        mEdit->setText(QString::number(mWidths[static_cast<std::size_t>(row)]));
}

void TFormSpalten::Move(int step)
{
    const int row = mList->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= mList->count()) {
        mDialogs.Beep();
        return;
    }
    QListWidgetItem* moved = mList->item(row);
    QListWidgetItem* other = mList->item(target);
    const QString caption = moved->text();
    const Qt::CheckState state = moved->checkState();
    moved->setText(other->text());
    moved->setCheckState(other->checkState());
    other->setText(caption);
    other->setCheckState(state);
    std::swap(mWidths[static_cast<std::size_t>(row)], mWidths[static_cast<std::size_t>(target)]);

    // The field's text still belongs to the moved item: follow it to its new place.
    if (mCurrent == row)
        mCurrent = target;
    mList->setCurrentRow(target);
}

void TFormSpalten::BtnZuruecksetzenClick() { Fill(DefaultColumnLayout()); }

void TFormSpalten::BtnOKClick()
{
    StoreWidthField();
    mResult.clear();
    for (int row = 0; row < mList->count(); ++row) {
        const QListWidgetItem* item = mList->item(row);
        if (item->checkState() != Qt::Checked)
            continue;
        const int id = ColumnOfCaption(item->text());
        if (id >= 0)
            mResult.push_back({id, mWidths[static_cast<std::size_t>(row)]});
    }
    accept();
}

bool TFormSpalten::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mEdit && event->type() == QEvent::KeyPress
        && !PassesWidthField(*static_cast<QKeyEvent*>(event))) {
        mDialogs.Beep();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace km
