// The window's own commands (view, navigation, closing) and the layout of
// the menus, tool bars and popups; every other command is its subsystem's.
#include "app/form1.h"

#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActAktuallisiern", "Ansicht", "&Aktuallisiern", "Aktuallisiern", QKeySequence(Qt::Key_F5)},
    {"ActUnterordner", "Ansicht", "&Unterordner miteinbeziehen", "Unterordner miteinbeziehen", {}},
    {"ActZurueck", "Datei", "Zurück", "Zurück", {}},
    {"ActVorwaerts", "Datei", "Vorwärts", "Vorwärts", {}},
    {"ActAufwaerts", "Datei", "&Aufwärts", "Aufwärts", {}},
    {"ActNaechstes", "Extras", "&Nächstes Lied", "", QKeySequence(Qt::CTRL | Qt::Key_N)},
    {"ActVorheriges", "Extras", "&Voheriges Lied", "", QKeySequence(Qt::CTRL | Qt::Key_B)},
    {"ActBeenden", "Datei", "&Beenden", "", {}},
};

} // namespace

void TForm1::DefineCommands()
{
    TCommandTable& commands = *m_commands;
    commands.Define(kCommands);
    commands.Action(QStringLiteral("ActUnterordner"))->setCheckable(true);
    commands.On(QStringLiteral("ActAktuallisiern"), [this] {
        // The tree shows folders made or removed meanwhile; a shown folder that
        // is gone gives way to its parent, whose selection scans by itself.
        const QString folder = DirBox1->Directory();
        DirBox1->RereadFolder(folder);
        if (DirBox1->Directory() == folder)
            ScanFolder();
    });
    commands.On(QStringLiteral("ActUnterordner"), [this] {
        m_settings.Unterordner = !m_settings.Unterordner;
        ScanFolder();
        m_commands->Refresh();
    });
    commands.On(QStringLiteral("ActZurueck"), [this] { GoHistory(-1); });
    commands.On(QStringLiteral("ActVorwaerts"), [this] { GoHistory(1); });
    commands.On(QStringLiteral("ActAufwaerts"), [this] { ActAufwaertsExecute(); });
    commands.On(QStringLiteral("ActNaechstes"), [this] { StepRow(1); });
    commands.On(QStringLiteral("ActVorheriges"), [this] { StepRow(-1); });
    commands.On(QStringLiteral("ActBeenden"), [this] { close(); });

    commands.OnUpdate(QStringLiteral("ActUnterordner"),
        [this] { m_commands->Action(QStringLiteral("ActUnterordner"))->setChecked(m_settings.Unterordner); });
    commands.OnUpdate(QStringLiteral("ActZurueck"),
        [this] { m_commands->Action(QStringLiteral("ActZurueck"))->setEnabled(m_history.Back.size() > 1); });
    commands.OnUpdate(QStringLiteral("ActVorwaerts"),
        [this] { m_commands->Action(QStringLiteral("ActVorwaerts"))->setEnabled(!m_history.Forward.isEmpty()); });
    commands.OnUpdate(QStringLiteral("ActNaechstes"), [this] {
        const bool rows = m_model->rowCount() > 0;
        m_commands->Action(QStringLiteral("ActNaechstes"))->setEnabled(rows);
        m_commands->Action(QStringLiteral("ActVorheriges"))->setEnabled(rows);
    });
}

void TForm1::BuildMenus()
{
    const auto add = [this](QMenu* menu, std::initializer_list<const char*> names) { m_commands->Fill(menu, names); };

    PopGrossKlein = new QMenu(this);
    PopGrossKlein->setObjectName(QStringLiteral("PopGrossKlein"));
    add(PopGrossKlein, {"ActGrossKlein_GrossKlein", "-", "ActGrossKlein_GrossGross", "ActGrossKlein_KleinKlein"});
    m_commands->Action(QStringLiteral("ActGrossKlein"))->setMenu(PopGrossKlein);

    QMenuBar* bar = menuBar();
    QMenu* datei = bar->addMenu(QStringLiteral("&Datei"));
    add(datei, {"ActRename", "-", "ActShellCopy", "ActShellCopy2", "ActShelMove", "ActShelMove2", "ActShellDelete", "-"});
    QMenu* export_ = datei->addMenu(QStringLiteral("&Liste exportieren..."));
    add(export_, {"ActExportHTML", "ActExportExcel", "ActExportPlaylist"});
    add(datei, {"-", "ActEinstellungen", "-", "ActBeenden"});

    QMenu* bearbeiten = bar->addMenu(QStringLiteral("&Bearbeiten"));
    add(bearbeiten, {"ActRueckgaengig", "-", "ActAussschneiden", "ActKopieren", "actEinfuegen", "-", "EditSelectAll1"});

    QMenu* extras = bar->addMenu(QStringLiteral("&Extras"));
    add(extras, {"ActFeldUebernehmen", "ActAllesUebernehmen", "-", "ActVonDateinamen", "ActDateinameAusID3",
                    "ActGrossKlein", "-", "ActAlleFelderloeschen", "-", "ActPlay", "-", "ActNaechstes", "ActVorheriges"});

    QMenu* ansicht = bar->addMenu(QStringLiteral("&Ansicht"));
    add(ansicht, {"ActAktuallisiern", "ActUnterordner", "-", "ActSpalten"});
    QMenu* sort = ansicht->addMenu(QStringLiteral("&Sortieren nach"));
    add(sort, {"SortDateiname", "SortTitel", "sortInterpret", "SortAlbum", "SortTitelNr", "SortJahr", "SortBemerkung",
                  "SortMusikrichtung", "-", "SortAufsteigend", "SortAbsteigend"});
    ansicht->addSeparator();
    QMenu* eingabe = ansicht->addMenu(QStringLiteral("&Eingabefeld"));
    add(eingabe, {"ActEingabefeldOben", "ActEingabeFeldUnten", "-", "ActEingabefeldAusblenden"});
    add(ansicht, {"ActOrdnerAnzeigen"});

    QMenu* hilfe = bar->addMenu(QStringLiteral("&?"));
    add(hilfe, {"ActHomepage", "ActWendmark", "-", "ActUpdate", "-", "ActInfo"});

    add(PopListViewHead, {"ActSpalteDateiname", "ActSpalteTitel", "ActSpalteInterpret", "ActSpalteAlbum",
                             "ActSpalteTitelNr", "ActSpalteJahr", "ActSpalteBemerkung", "ActSpalteMusikrichtung",
                             "ActSpalteOrdner", "-", "ActSpalten2"});

    PopListView = new QMenu(this);
    PopListView->setObjectName(QStringLiteral("PopListView"));
    add(PopListView, {"ActPlay", "-", "ActAllesUebernehmen", "-", "ActVonDateinamen", "ActDateinameAusID3",
                         "ActGrossKlein", "-", "ActAlleFelderloeschen", "-", "ActDateioperationen"});
    auto* fileOps = new QMenu(this);
    fileOps->setObjectName(QStringLiteral("PopDateioperationen"));
    add(fileOps, {"ActRename", "-", "ActShellCopy", "ActShellCopy2", "ActShelMove", "ActShelMove2", "-", "ActShellDelete"});
    m_commands->Action(QStringLiteral("ActDateioperationen"))->setMenu(fileOps);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopListView->popup(ListView1->viewport()->mapToGlobal(pos));
    });

    add(PopEdit, {"ActFeldUebernehmen", "-", "ActEditUndo1", "-", "ActAussschneiden", "ActKopieren", "actEinfuegen",
                     "EditDelete1", "-", "EditSelectAll1"});

    PopDirZurueck = new QMenu(this);
    PopDirZurueck->setObjectName(QStringLiteral("PopDirZurueck"));
    connect(PopDirZurueck, &QMenu::aboutToShow, this, [this] { FillHistoryMenu(PopDirZurueck, true); });
    PopDirVorwaerts = new QMenu(this);
    PopDirVorwaerts->setObjectName(QStringLiteral("PopDirVorwaerts"));
    connect(PopDirVorwaerts, &QMenu::aboutToShow, this, [this] { FillHistoryMenu(PopDirVorwaerts, false); });
}

void TForm1::FillHistoryMenu(QMenu* menu, bool back)
{
    menu->clear();
    for (const THistory::TItem& item : back ? m_history.BackItems() : m_history.ForwardItems()) {
        QAction* a = menu->addAction(item.Caption);
        a->setData(item.Steps);
        const int steps = item.Steps;
        connect(a, &QAction::triggered, this, [this, steps] { GoHistory(steps); });
    }
}

void TForm1::BuildToolBars()
{
    auto* tools = new QToolBar(QStringLiteral("Werkzeuge"), this);
    tools->setObjectName(QStringLiteral("ToolBar1"));
    tools->setMovable(false);
    tools->setIconSize(QSize(20, 20));
    addToolBar(Qt::TopToolBarArea, tools);
    m_commands->Fill(tools, {"ActZurueck", "ActVorwaerts", "ActAufwaerts", "-", "ActUnterordner", "-", "ActPlay", "-",
        "ActRueckgaengig", "-", "ActAussschneiden", "ActKopieren", "actEinfuegen", "-", "ActFeldUebernehmen",
        "ActAllesUebernehmen", "ActVonDateinamen", "ActDateinameAusID3", "ActGrossKlein", "-", "ActAlleFelderloeschen"});
    const auto dropDown = [tools, this](const char* name, QMenu* menu, QToolButton::ToolButtonPopupMode mode) {
        auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(m_commands->Action(QLatin1String(name))));
        if (menu)
            button->setMenu(menu);
        button->setPopupMode(mode);
    };
    dropDown("ActZurueck", PopDirZurueck, QToolButton::MenuButtonPopup);
    dropDown("ActVorwaerts", PopDirVorwaerts, QToolButton::MenuButtonPopup);
    // The case commands have nothing to do as a whole: the button is their menu.
    dropDown("ActGrossKlein", nullptr, QToolButton::InstantPopup);

    // Small buttons beside the list caption, on the folder bar's caption and in the edit panel's corner.
    const auto smallButtons = [this](QWidget* parent, QBoxLayout* layout, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            auto* button = new QToolButton(parent);
            QAction* action = m_commands->Action(QLatin1String(name));
            button->setObjectName(QStringLiteral("Btn") + QLatin1String(name));
            button->setDefaultAction(action);
            // A lone button does not follow its action's visibility by itself.
            connect(action, &QAction::changed, button, [button, action] { button->setVisible(action->isVisible()); });
            button->setAutoRaise(true);
            button->setIconSize(QSize(14, 14));
            button->setFixedSize(20, 20);
            // Named for screen readers by what they do; out of the Tab order, so a
            // stray Space cannot hide a panel.
            button->setAccessibleName(action->toolTip());
            button->setFocusPolicy(Qt::NoFocus);
            layout->addWidget(button);
        }
    };
    smallButtons(Panel4P, static_cast<QBoxLayout*>(Panel4P->layout()), {"ActOrdnerAnzeigen2", "ActEingabefeldAnzeigen"});
    smallButtons(m_folderBarCaption, static_cast<QBoxLayout*>(m_folderBarCaption->layout()),
        {"ActOrdnerAusblenden", "ActOrderAnzeigenPin"});
    smallButtons(m_editCorner, static_cast<QBoxLayout*>(m_editCorner->layout()),
        {"ActEingabefeldAusblenden2", "ActEingabefeldPin", "ActEingabefeldOben2", "ActEingabeFeldUnten2"});
}

} // namespace km
