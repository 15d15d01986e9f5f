#pragma once

#include "model/columns.h"
#include "platform/dialogs.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace km {

// The column chooser: which data columns the list shows, in which order and width.
class TFormSpalten : public QDialog {
    Q_OBJECT
public:
    // `shown`: the data columns now shown, in display order, with their current widths.
    TFormSpalten(const std::vector<TColumnPair>& shown, TDialogs& dialogs, QWidget* parent = nullptr);
    // The checked columns in list order with their stored widths; valid after accept().
    std::vector<TColumnPair> Result() const { return m_result; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill(const std::vector<TColumnPair>& checked);
    void StoreWidthField();
    void CurrentRowChanged(int row);
    void Move(int step);
    void BtnZuruecksetzenClick();
    void BtnOKClick();

    TDialogs& m_dialogs;
    QListWidget* m_list = nullptr;
    QLineEdit* m_edit = nullptr;
    // One width per list position.
    std::vector<int> m_widths;
    // The position whose width the width field shows; -1 for none.
    int m_current = -1;
    std::vector<TColumnPair> m_result;
};

// The width a text typed into the width field stands for: empty or not a
// number 100, above the largest column width that width.
int ColumnWidthOfText(const QString& text);

} // namespace km
