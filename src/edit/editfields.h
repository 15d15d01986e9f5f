#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace km {

// Drops characters before `end` until `text` takes at most `width` bytes in
// the ID3v1 set; only a set of several bytes a character can need this.
// Returns where `end` is now.
int CutToByteWidth(QString& text, int end, int width);

// A design size in pixels, grown for the widget's font: the sizes were drawn for an
// 8-point dialog font at 96 dpi, whose letters advance about 6 pixels on average.
int FontScaled(int designPixels, const QWidget* widget);

// Two small arrows that step the number in an edit field, within a range,
// without wrapping; Up and Down in the field step it as well.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(int minimum, int maximum, QWidget* parent = nullptr);
    void Associate(QLineEdit* edit);
    int Position() const { return m_position; }
    void SetPosition(int position);
    int Minimum() const { return m_min; }
    int Maximum() const { return m_max; }
    void Step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_min;
    int m_max;
    int m_position = 0;
};

// The fields of the edit panel, laid out; what they do is the main window's business.
class TEditFields : public QWidget {
    Q_OBJECT
public:
    explicit TEditFields(QWidget* parent = nullptr);

    QLineEdit* ETitel;
    QLineEdit* ESaenger;
    QLineEdit* EAlbum;
    QLineEdit* ETitelnr;
    QLineEdit* EJahr;
    QComboBox* EMusikrichtung;
    QLineEdit* EBemerkung;
    TUpDown* UpDown1;
    TUpDown* UpDown2;
    QCheckBox* CBVorgabe;
    QLabel* Warnung;
    // Under the fields: where one file's ID3v2 tag disagrees with what they show.
    QLabel* ID3v2Abweichung;

    // The seven fields in the order of their flags: Titel, Interpret, Album, Jahr, Bemerkung, Titelnr, Musikrichtung.
    std::array<QWidget*, 7> InFlagOrder() const;
    // The label that names a field.
    QLabel* LabelOf(const QWidget* field) const;
    // The text fields among them, in the order the load fills them.
    std::array<QLineEdit*, 6> TextFields() const;

    // What a field whose values differ among the selected files shows when empty.
    static QString DifferingText();
};

} // namespace km
