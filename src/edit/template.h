#pragma once

#include <QObject>

class QTreeView;

namespace km {

struct TEintragDaten;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TListModel;

// One row of the list as the template ("Vorgabe"): its fields can be copied
// into the edit panel, one or all, as if typed. Nothing here writes a file.
class TTemplate : public QObject {
    Q_OBJECT
public:
    TTemplate(TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs, QTreeView* list, TListModel& model,
        QObject* parent = nullptr);

    // The template's entry; its tag is read afresh at each use, so a rewritten
    // template gives its new values. None while there is no template.
    const TEintragDaten* TemplateEntry() const { return m_entry; }

private:
    void CBVorgabeClick();
    void Drop();
    bool RowSelected() const;
    void ActFeldUebernehmenExecute();
    void ActAllesUebernehmenExecute();
    void ActAlleFelderloeschenExecute();
    void Update();

    TCommandTable& m_commands;
    TEditPanel& m_panel;
    TDialogs& m_dialogs;
    QTreeView* m_list;
    TListModel& m_model;
    TEintragDaten* m_entry = nullptr;
};

} // namespace km
