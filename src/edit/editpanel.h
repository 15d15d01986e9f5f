#pragma once

#include "edit/storetag.h"
#include "tags/id3v1tag.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QTreeView;

namespace km {

struct TCommandContext;
struct TEintragDaten;
class TCommandTable;
class TDialogs;
class TEditFields;
class TFileList;
class TGenreLists;
class TListModel;
class TTagSaver;

// The window's widgets the edit panel works with; the window owns all of them.
struct TEditPanelParts {
    TEditFields* Fields = nullptr;
    QFrame* Frame = nullptr;       // the panel around the fields (Panel5)
    QLabel* Status = nullptr;      // status bar panel 1
    QMenu* Popup = nullptr;        // PopEdit
    const TGenreLists* Genres = nullptr;
};

// The edit panel: loads the selected rows into the fields, stores what was
// typed into the entries it came from when the selection changes, handles the
// fields' events, and runs undo, unsaved edits first.
class TEditPanel : public QObject {
    Q_OBJECT
public:
    TEditPanel(const TCommandContext& context, const TEditPanelParts& parts, TTagSaver& saver);
    ~TEditPanel() override;

    using enum TFlag;
    const TFieldFlags& ApplyFlags() const { return m_applyFlags; }

    // Stores what the panel holds into the entries it loaded, then loads the
    // rows now selected: the step before anything else touches the files.
    void FlushPendingEdits() { ListView1SelectItem(); }
    TEditFields& Fields() const { return *m_fields; }
    // Puts `text` into a field as if the user had typed it: the field applies
    // to every selected file at the next store, even when the text stays.
    // `whole`: what the field's ID3v2 frame gets instead of the text (a
    // longer piece of a name, a conversion of the frame's own text), until the
    // user edits the field.
    void SetFieldAsTyped(QLineEdit* field, const QString& text, std::optional<TID3v2Change> whole = std::nullopt);
    // The genre box shows `genre` as if the user had chosen it. `exact`: the
    // store writes that very byte, also one without a name (shown "(keine)").
    void SetGenreAsChosen(std::uint8_t genre, bool exact);
    // Empties every field as the user would: each applies at the next store.
    void ClearAsEdit();
    // The field that has the focus, or had it before a menu took it; none else.
    QWidget* FocusedField() const;
    // Tells the load whether a row's entry is the template (check box).
    std::function<bool(const TEintragDaten&)> IsTemplate;
    // The save sequence for one row's entry; the row is redrawn after a write.
    // A file too small for a tag is told at the next load. False when nothing
    // was written for a change.
    bool SaveRow(int row, const TID3v1Tag& newTag, const TID3v2Changes& whole = {});
    // Forgets what was typed and loads the selected rows afresh, for tools
    // that changed the entries themselves.
    void DropEditsAndReload();
    // Says in the status bar what is selected (one file by name); for a row
    // renamed without a new load.
    void ShowSelectionStatus();
    // While set, selection changes are the list's own doing: no store, no load.
    bool IgnoreSelection = false;
    // Tests fix the date the J key puts in.
    void SetToday(std::function<QDate()> today) { m_today = std::move(today); }
    // The fields show something and take input.
    bool Enabled() const;
    void Panel6Resize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ListView1SelectItem();
    // The fields show what was loaded: an applying field its value, a differing one nothing.
    void ShowLoadedValues();
    void ShowStatus(int count, std::uint32_t total, const TEintragDaten* first);
    // A field that holds an edit not stored yet has a bold label, and the
    // status line says so.
    void ShowPendingEdits();
    // The line under the fields for the one file shown; none for several.
    // A tag the list has not read is read on a thread of its own: the line
    // comes when the read does.
    void ShowID3v2Differences(TEintragDaten* entry);
    void ShowID3v2Line(const TEintragDaten* entry);
    void TakeID3v2Read();
    void StorePanel(int row);
    void ReportTooSmall();
    // The files whose ID3v2 tag the last stores left alone, in one message.
    void ReportID3v2Refusals();
    void ClearPanel(bool asEdit);
    void EnablePanel(bool on);
    void FeldFarbenAktuallisieren();
    void ETitelChange(QWidget* sender);
    void ETitelEnter(QWidget* sender);
    void ETitelExit(QWidget* sender);
    void EJahrExit();
    void ETitelnrExit();
    bool EJahrKeyPress(QKeyEvent* key);
    void ETitelContextPopup(QWidget* field, const QPoint& globalPos);
    bool EditFieldEvent(QWidget* field, QEvent* event);
    QString ShownText(int flag) const;
    bool IsEditField(const QWidget* widget) const;
    QWidget* CommandFocus() const;
    void EditSelectAll1Execute();
    void EditCommandExecute(const QString& name);
    void EditCommandsUpdate();
    // panel_undo.cpp
    bool HasUnsavedEdits() const;
    void RestoreLoadedPanel();
    void ActRueckgaengigExecute();
    void ActRueckgaengigUpdate();

    TEditFields* m_fields;
    QFrame* Panel5;
    QTreeView* ListView1;
    TListModel* m_model;
    QLabel* m_statusPanel1;
    QMenu* PopEdit;
    const TGenreLists& m_genres;
    TFileList& m_files;
    TDialogs& m_dialogs;
    TTagSaver& m_saver;
    TCommandTable* m_commands;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };

    TFieldFlags m_applyFlags {true, true, true, true, true, true, true};
    TFieldFlags m_applyFlagsAtLoad {true, true, true, true, true, true, true};
    // The rows last loaded, valid while the model's generation is this one.
    std::vector<int> m_loadedRows;
    std::uint64_t m_loadedGeneration = ~std::uint64_t {0};
    TID3v1Tag m_shownTag = EmptyTag();
    // Set only by the user's own edits of the genre box: without one the
    // entries keep their genre bytes, also those without a name.
    bool m_genreEdited = false;
    // A byte taken whole from the template, until the box is edited again.
    std::optional<std::uint8_t> m_genreByte;
    bool m_filling = false;
    bool m_recolouring = false; // the fields' palette changes are our own
    // Per field: what its ID3v2 frame gets at the next store instead of the typed text.
    TID3v2Changes m_id3v2Whole;
    // Files a store found too small to hold a tag, told in one message.
    QStringList m_tooSmall;
    // The fields' labels, in flag order; and panel 1's text without the edit mark.
    std::array<QLabel*, 7> m_fieldLabels {};
    QString m_statusText;
    // The read of the shown file's ID3v2 tag, while it has not answered.
    struct TID3v2Pending;
    std::unique_ptr<TID3v2Pending> m_id3v2Pending;
    QTimer* m_id3v2Poll = nullptr;
    // The widget that had the focus before a menu took it for the keyboard.
    QPointer<QWidget> m_commandFocus;
};

} // namespace km
