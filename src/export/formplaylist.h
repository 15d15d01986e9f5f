#pragma once

#include <QDialog>

class QCheckBox;
class QRadioButton;

namespace km {

// Asks which rows go into a playlist and in which form.
class TFormPlaylist : public QDialog {
    Q_OBJECT
public:
    explicit TFormPlaylist(QWidget* parent = nullptr);

    // Shows the dialog with the flags as given and hands back what the user
    // chose; true when closed with OK.
    bool Execute(bool& allListed, bool& extended);

private:
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QCheckBox* CheckBox1;
};

} // namespace km
