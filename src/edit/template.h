#pragma once

#include <QObject>

namespace km {

struct TCommandContext;
struct TEintragDaten;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;

// One row of the list as the template ("Vorgabe"): its fields can be copied
// into the edit panel, one or all, as if typed. Nothing here writes a file.
class TTemplate : public QObject {
    Q_OBJECT
public:
    TTemplate(const TCommandContext& context, TEditPanel& panel);

    // The template's entry; its tag is read afresh at each use, so a rewritten
    // template gives its new values. None while there is no template.
    const TEintragDaten* TemplateEntry() const { return m_entry; }

private:
    void CBVorgabeClick();
    void Drop();
    void ActFeldUebernehmenExecute();
    void ActAllesUebernehmenExecute();
    void ActAlleFelderloeschenExecute();
    void Update();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TFileList& m_files;
    TEditPanel& m_panel;
    TEintragDaten* m_entry = nullptr;
};

} // namespace km
