// The command table: every action with its name, category, caption, hint and
// shortcut; the handlers it runs; the menus, tool bars and popups that show it.
#include "app/form1.h"

#include "model/addresses.h"
#include "ui/icons.h"
#include "ui/commandtable.h"
#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "model/sorting.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace km {

namespace {

const TActionDef kActions[] = {
    {"ActAktuallisiern", "Ansicht", "&Aktuallisiern", "Aktuallisiern", QKeySequence(Qt::Key_F5)},
    {"ActOrdnerAnzeigen", "Ansicht", "&Browserleiste", "Browserleiste anzeigen/ausblenden", QKeySequence(Qt::Key_F10)},
    {"ActOrdnerAnzeigen2", "Ansicht", "", "Browserleiste einblenden", {}},
    {"ActOrderAnzeigenPin", "Ansicht", "", "Browserleiste anheften", {}},
    {"ActOrdnerAusblenden", "Ansicht", "", "Browserleiste ausblenden", {}},
    {"ActEingabefeldOben", "Ansicht", "&oben", "", {}},
    {"ActEingabeFeldUnten", "Ansicht", "&unten", "", {}},
    {"ActEingabefeldAusblenden", "Ansicht", "&verstecken", "", {}},
    {"ActEingabefeldOben2", "Ansicht", "", "Eingabefeld nach oben verschieben", {}},
    {"ActEingabeFeldUnten2", "Ansicht", "", "Eingabefeld nach unten verschieben", {}},
    {"ActEingabefeldAusblenden2", "Ansicht", "", "Eingabefeld ausblenden", {}},
    {"ActEingabefeldPin", "Ansicht", "", "Eingabefeld anheften", {}},
    {"ActEingabefeldAnzeigen", "Ansicht", "", "Eingabefeld einblenden", {}},
    {"ActUnterordner", "Ansicht", "&Unterordner miteinbeziehen", "Unterordner miteinbeziehen", {}},
    {"ActSpalten", "Ansicht", "&Spalten...", "", {}},
    {"ActSpalten2", "Spalten", "&Mehr...", "", {}},
    {"ActSpalteDateiname", "Spalten", "&Dateiname", "", {}},
    {"ActSpalteTitel", "Spalten", "&Titel", "", {}},
    {"ActSpalteInterpret", "Spalten", "&Interpret", "", {}},
    {"ActSpalteAlbum", "Spalten", "&Album", "", {}},
    {"ActSpalteTitelNr", "Spalten", "Titel&nummer", "", {}},
    {"ActSpalteJahr", "Spalten", "&Jahr", "", {}},
    {"ActSpalteBemerkung", "Spalten", "&Bemerkung", "", {}},
    {"ActSpalteMusikrichtung", "Spalten", "&Musikrichtung", "", {}},
    {"ActSpalteOrdner", "Spalten", "&Ordner", "", {}},
    {"SortDateiname", "Sortierung", "&Dateiname", "", {}},
    {"SortTitel", "Sortierung", "&Titel", "", {}},
    {"sortInterpret", "Sortierung", "&Interpret", "", {}},
    {"SortAlbum", "Sortierung", "&Album", "", {}},
    {"SortTitelNr", "Sortierung", "Titel&nummer", "", {}},
    {"SortJahr", "Sortierung", "&Jahr", "", {}},
    {"SortBemerkung", "Sortierung", "&Bemerkung", "", {}},
    {"SortMusikrichtung", "Sortierung", "&Musikrichtung", "", {}},
    {"SortAufsteigend", "Sortierung", "Au&fsteigend", "", {}},
    {"SortAbsteigend", "Sortierung", "A&bsteigend", "", {}},
    {"ActZurueck", "Datei", "Zurück", "Zurück", {}},
    {"ActVorwaerts", "Datei", "Vorwärts", "Vorwärts", {}},
    {"ActAufwaerts", "Datei", "&Aufwärts", "Aufwärts", {}},
    {"ActNaechstes", "Extras", "&Nächstes Lied", "", QKeySequence(Qt::CTRL | Qt::Key_N)},
    {"ActVorheriges", "Extras", "&Voheriges Lied", "", QKeySequence(Qt::CTRL | Qt::Key_B)},
    {"ActRueckgaengig", "Bearbeiten", "&Rückgängig", "Rückgängig", QKeySequence(Qt::CTRL | Qt::Key_Z)},
    {"ActKopieren", "Bearbeiten", "&Kopieren", "Kopieren", QKeySequence(Qt::CTRL | Qt::Key_C)},
    {"ActAussschneiden", "Bearbeiten", "&Ausschneiden", "Ausschneiden", QKeySequence(Qt::CTRL | Qt::Key_X)},
    {"actEinfuegen", "Bearbeiten", "&Einfügen", "Einfügen", QKeySequence(Qt::CTRL | Qt::Key_V)},
    {"EditDelete1", "Bearbeiten", "&Löschen", "", QKeySequence(Qt::Key_Delete)},
    {"ActEditUndo1", "Bearbeiten", "&Rückgängig", "", {}},
    {"EditSelectAll1", "Bearbeiten", "Alles &markieren", "", QKeySequence(Qt::CTRL | Qt::Key_A)},
    {"ActFeldUebernehmen", "Extras", "&Feld von Vorlage übernehmen", "Feld von Vorlage übernehmen", QKeySequence(Qt::CTRL | Qt::Key_F)},
    {"ActAllesUebernehmen", "Extras", "&Alles von Vorgabe übernehmen", "Alles von Vorgabe übernehmen", QKeySequence(Qt::CTRL | Qt::Key_U)},
    {"ActAlleFelderloeschen", "Extras", "Alle Felder &löschen", "Alle Felder löschen", QKeySequence(Qt::CTRL | Qt::Key_L)},
    {"ActGrossKlein", "Extras", "Groß- und Kleinschreibung", "Groß- und Kleinschreibung ändern", {}},
    {"ActGrossKlein_GrossKlein", "Extras", "Nur Anfangsbuchstaben groß", "Nur Anfangsbuchstaben großschreiben", {}},
    {"ActGrossKlein_GrossGross", "Extras", "Alles groß", "Alles groß schreiben", {}},
    {"ActGrossKlein_KleinKlein", "Extras", "Alles klein", "Alles klein schreiben", {}},
    {"ActEinstellungen", "Datei", "&Einstellungen...", "Einstellungen", {}},
    {"ActVonDateinamen", "Extras", "&Titelinformationen aus Dateinamen", "Titelinformationen vom Dateinamen übernehmen", QKeySequence(Qt::CTRL | Qt::Key_T)},
    {"ActDateinameAusID3", "Extras", "&Dateiname aus Titelinformationen", "Datei nach Titelinformationen umbenennen", QKeySequence(Qt::CTRL | Qt::Key_D)},
    {"ActRename", "Datei", "&Umbenennen", "", QKeySequence(Qt::Key_F2)},
    {"ActExportHTML", "Datei", "&HTML", "", {}},
    {"ActExportExcel", "Datei", "Microsoft &Excel", "", {}},
    {"ActExportPlaylist", "Datei", "&Playlist...", "", {}},
    {"ActDateioperationen", "Datei", "Datei&operationen", "Dateioperationen", {}},
    {"ActShellCopy", "Datei", "&Kopieren nach...", "", {}},
    {"ActShelMove", "Datei", "&Verschieben nach...", "", {}},
    {"ActShellDelete", "Datei", "&Löschen", "", {}},
    {"ActShellCopy2", "Datei", "K&opieren nach (leer)", "", {}},
    {"ActShelMove2", "Datei", "Ve&rschieben nach (leer)", "", {}},
    {"ActPlay", "Datei", "&Wiedergabe", "Wiedergeben", QKeySequence(Qt::CTRL | Qt::Key_P)},
    {"ActHomepage", "Hilfe", "Klangmappe - &Homepage", "", {}},
    {"ActWendmark", "Hilfe", "mehr &Freeware", "", {}},
    {"ActUpdate", "Datei", "auf &Update prüfen...", "", {}},
    {"ActInfo", "Hilfe", "&Info", "", {}},
    {"ActBeenden", "Datei", "&Beenden", "", {}},
};

} // namespace

void TForm1::BuildActions()
{
    m_commands = new TCommandTable(this, kActions);
    for (const char* name : {"ActUnterordner", "ActOrdnerAnzeigen", "ActOrdnerAnzeigen2", "ActEingabefeldOben",
             "ActEingabeFeldUnten", "ActEingabefeldAusblenden", "ActEingabefeldAnzeigen", "SortAufsteigend",
             "SortAbsteigend"})
        m_commands->Action(QLatin1String(name))->setCheckable(true);
    const char* toggles[] = {"ActSpalteDateiname", "ActSpalteTitel", "ActSpalteInterpret", "ActSpalteAlbum",
        "ActSpalteTitelNr", "ActSpalteJahr", "ActSpalteBemerkung", "ActSpalteMusikrichtung", "ActSpalteOrdner"};
    for (int id = 0; id < 9; ++id) {
        QAction* a = m_commands->Action(QLatin1String(toggles[id]));
        a->setCheckable(true);
        a->setData(id);
        m_columnToggles.push_back(a);
    }
    const char* sorts[] = {"SortDateiname", "SortTitel", "sortInterpret", "SortAlbum", "SortTitelNr", "SortJahr",
        "SortBemerkung", "SortMusikrichtung"};
    for (int code = 1; code <= 8; ++code) {
        QAction* a = m_commands->Action(QLatin1String(sorts[code - 1]));
        a->setCheckable(true);
        a->setData(code);
        m_sortFields.push_back(a);
    }
    m_commands->Action(QStringLiteral("SortAufsteigend"))->setData(1);
    m_commands->Action(QStringLiteral("SortAbsteigend"))->setData(-1);
    // The edit panel's position is one choice of three.
    auto* group = new QActionGroup(this);
    for (const char* name : {"ActEingabefeldOben", "ActEingabeFeldUnten", "ActEingabefeldAusblenden"})
        group->addAction(m_commands->Action(QLatin1String(name)));
    ConnectCommands();
}

void TForm1::ConnectCommands()
{
    const auto on = [this](const char* name, std::function<void()> handler) {
        m_commands->On(QLatin1String(name), std::move(handler));
    };
    on("ActAktuallisiern", [this] {
        // The tree shows folders made or removed meanwhile; a shown folder that
        // is gone gives way to its parent, whose selection scans by itself.
        const QString folder = DirBox1->Directory();
        DirBox1->RereadFolder(folder);
        if (DirBox1->Directory() == folder)
            ScanFolder();
    });
    for (const char* name : {"ActOrdnerAnzeigen", "ActOrderAnzeigenPin", "ActOrdnerAusblenden"})
        on(name, [this] { ActOrdnerAnzeigenExecute(); });
    on("ActOrdnerAnzeigen2", [this] { ActOrdnerAnzeigen2Execute(); });
    for (const char* name : {"ActEingabefeldOben", "ActEingabefeldPin", "ActEingabefeldOben2"})
        on(name, [this] { ActEingabefeldObenExecute(); });
    for (const char* name : {"ActEingabeFeldUnten", "ActEingabeFeldUnten2"})
        on(name, [this] { ActEingabeFeldUntenExecute(); });
    for (const char* name : {"ActEingabefeldAusblenden", "ActEingabefeldAusblenden2"})
        on(name, [this] { ActEingabefeldAusblendenExecute(); });
    on("ActEingabefeldAnzeigen", [this] { ActEingabefeldAnzeigenExecute(); });
    on("ActUnterordner", [this] { ActUnterordnerExecute(); });
    on("ActSpalten", [this] { ActSpaltenExecute(); });
    on("ActSpalten2", [this] { ActSpaltenExecute(); });
    for (QAction* a : m_columnToggles)
        m_commands->On(a->objectName(), [this, a] { ColumnToggleExecute(a); });
    for (QAction* a : m_sortFields)
        m_commands->On(a->objectName(), [this, a] { SortFieldExecute(a); });
    for (const char* name : {"SortAufsteigend", "SortAbsteigend"}) {
        QAction* a = m_commands->Action(QLatin1String(name));
        m_commands->On(a->objectName(), [this, a] { SortDirectionExecute(a); });
    }
    on("ActZurueck", [this] { GoHistory(-1); });
    on("ActVorwaerts", [this] { GoHistory(1); });
    on("ActAufwaerts", [this] { ActAufwaertsExecute(); });
    on("ActNaechstes", [this] { ActNaechstesExecute(); });
    on("ActVorheriges", [this] { ActVorherigesExecute(); });
    on("ActPlay", [this] { ActPlayExecute(); });
    on("ActHomepage", [this] { m_shell.OpenAddress(QString::fromLatin1(kHomepageAddress)); });
    on("ActWendmark", [this] { m_shell.OpenAddress(QString::fromLatin1(kFreewareAddress)); });
    on("ActBeenden", [this] { close(); });

    const auto update = [this](const char* name, std::function<void()> handler) {
        m_commands->OnUpdate(QLatin1String(name), std::move(handler));
    };
    update("ActOrdnerAnzeigen", [this] { ActOrdnerAnzeigenUpdate(); });
    update("ActEingabefeldOben", [this] { EditPanelUpdate(); });
    update("SortDateiname", [this] { SortUpdate(); });
    update("ActUnterordner", [this] { m_commands->Action(QStringLiteral("ActUnterordner"))->setChecked(m_settings.Unterordner); });
    update("ActSpalteDateiname", [this] { ActSpalteUpdate(); });
    update("ActZurueck", [this] { m_commands->Action(QStringLiteral("ActZurueck"))->setEnabled(m_history.Back.size() > 1); });
    update("ActVorwaerts", [this] { m_commands->Action(QStringLiteral("ActVorwaerts"))->setEnabled(!m_history.Forward.isEmpty()); });
    update("ActNaechstes", [this] { ActNaechstesUpdate(); });
    update("ActPlay", [this] { m_commands->Action(QStringLiteral("ActPlay"))->setEnabled(FirstSelectedRow() >= 0); });
}

void TForm1::ActSpalteUpdate()
{
    const std::vector<int> ids = m_model->ColumnIds();
    for (QAction* a : m_columnToggles)
        a->setChecked(std::find(ids.begin(), ids.end(), a->data().toInt()) != ids.end());
}

void TForm1::SortUpdate()
{
    const int code = SortCode(m_sortKey);
    for (QAction* a : m_sortFields)
        a->setChecked(a->data().toInt() == code);
    m_commands->Action(QStringLiteral("SortAufsteigend"))->setChecked(m_sortKey > 0);
    m_commands->Action(QStringLiteral("SortAbsteigend"))->setChecked(m_sortKey < 0);
}

void TForm1::ActPlayExecute()
{
    const int row = FirstSelectedRow();
    if (row < 0) {
        m_dialogs.Beep();
        return;
    }
    const TEintragDaten& e = *m_model->Entry(row);
    if (!m_shell.OpenDocument(QFile::decodeName(QByteArray::fromStdString(e.FullPath())),
            QFile::decodeName(QByteArray::fromStdString(e.Folder))))
        m_dialogs.Message(QStringLiteral("Für MP3-Dateien ist kein Programm zum Abspielen eingerichtet."),
            TDialogs::Kind::Error, TDialogs::Ok);
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

    PopListViewHead = new QMenu(this);
    PopListViewHead->setObjectName(QStringLiteral("PopListViewHead"));
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
    // A double click plays the row, whatever the update handler last decided.
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { ActPlayExecute(); });

    PopEdit = new QMenu(this);
    PopEdit->setObjectName(QStringLiteral("PopEdit"));
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
