#pragma once

#include "model/structure.h"
#include "platform/dialogs.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
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

    // The ID3v1 bytes of one file's title and artist, shown in the set chosen
    // so the user sees which set is right; none when no file is listed.
    struct TPreview {
        std::string Titel;
        std::string Interpret;
    };
    void SetPreview(std::optional<TPreview> preview);

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
    void ShowPreview();

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
    QComboBox* CBZeichensatz = nullptr;
    QLabel* LVorschau = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QMenu* PMVorgaben = nullptr;

    // The check CDDatumBeibehalten gets back when it is enabled again.
    bool m_datumBeibehaltenGemerkt = false;
    std::optional<TPreview> m_preview;
};

} // namespace km
