#pragma once

#include "model/structure.h"
#include "platform/dialogs.h"

#include <QDialog>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;

namespace km {

// The settings dialog: the file-name structure and its options, presets,
// resetting the stored settings and launchers for the program.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // `names` changes only when OK is pressed.
    TForm3(TNameStructure& names, TDialogs& dialogs, QWidget* parent = nullptr);

    // Called after the stored settings were deleted, so they are not written back.
    std::function<void()> OnReset;

private:
    void FormCreate();
    void Button2Click();
    void Button1Click();
    void BitBtn1Click();
    void VorgabeClick(QAction* item);
    void CBDatumClick();
    void BitBtn2Click();
    void Button3Click();
    void Button4Click();
    void ShortcutInto(const QString& folder);

    TNameStructure& m_names;
    TDialogs& m_dialogs;

    QComboBox* ET1 = nullptr;
    QComboBox* ET2 = nullptr;
    QComboBox* ET3 = nullptr;
    QLineEdit* ETrennzeichen1 = nullptr;
    QLineEdit* ETrennzeichen2 = nullptr;
    QCheckBox* CBOrdner = nullptr;
    QCheckBox* CBDatum = nullptr;
    QCheckBox* CDDatumBeibehalten = nullptr;
    QCheckBox* CBTitel0 = nullptr;
    QCheckBox* CBID3v2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QMenu* PMVorgaben = nullptr;

    // The check CDDatumBeibehalten gets back when it is enabled again.
    bool m_datumBeibehaltenGemerkt = false;
};

} // namespace km
