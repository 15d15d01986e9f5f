#include "names/form3.h"

#include "model/settings.h"
#include "names/launcher.h"
#include "platform/charset.h"
#include "platform/registry.h"
#include "ui/icons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace km {

namespace {
template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* WrappedLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->setWordWrap(true);
    return label;
}

QComboBox* PartBox(const char* name, QWidget* parent)
{
    auto* box = Named(new QComboBox(parent), name);
    box->addItems({QStringLiteral("(nichts)"), QStringLiteral("Titelnr."), QStringLiteral("Interpret"),
        QStringLiteral("Titel"), QStringLiteral("Album"), QStringLiteral("Jahr")});
    return box;
}

// A kind the box cannot show leaves it without a choice.
void ShowKind(QComboBox* box, std::uint8_t kind) { box->setCurrentIndex(kind <= PartJahr ? kind : -1); }

std::uint8_t KindOf(const QComboBox* box)
{
    const int index = box->currentIndex();
    return index < 0 ? std::uint8_t {255} : static_cast<std::uint8_t>(index);
}

struct TVorgabe {
    int Tag;
    const char16_t* Caption;
    std::array<std::uint8_t, 3> Parts;
    const char16_t* TZ1;
    const char16_t* TZ2;
};

constexpr std::array<TVorgabe, 3> kVorgaben {{
    {1, u"Standard: \"Interpret - Titel\"", {PartInterpret, PartTitel, PartNone}, u" - ", u""},
    {2, u"Standard mit Titelnummer: \"Titelnr. - Interpret - Titel\"", {PartTitelnr, PartInterpret, PartTitel}, u" - ",
        u" - "},
    {3, u"mit Titelnummer (nur durch Leerzeichen abgetrennt): \"Titelnr. Interpret - Titel\"",
        {PartTitelnr, PartInterpret, PartTitel}, u" ", u" - "},
}};
} // namespace

TForm3::TForm3(TNameStructure& names, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_names(names)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Einstellungen"));

    auto* pages = Named(new QTabWidget(this), "PageControl1");

    // Allgemein
    auto* allgemein = Named(new QWidget(pages), "TabSheet1");
    auto* label1
        = Named(new QLabel(QStringLiteral("Geben Sie hier den Aufbau des Dateinamens an."), allgemein), "Label1");
    auto* label2 = WrappedLabel(
        QStringLiteral("Der Dateiname kann sich in bis zu drei Abschnitte aufteilen. Zum Beispiel.: "
                       "\"Titelnr. - Interpret - Titel\". Diese Abschnitte sind untereinander durch sog. "
                       "Trennzeichen getrennt. Bei diesem Beispiel wären die Trennzeichen \" - \"."),
        "Label2", allgemein);
    // The wrapped texts need a width to wrap at; the dialog does not resize.
    label2->setFixedWidth(label2->fontMetrics().averageCharWidth() * 70);

    auto* aufbau = Named(new QGroupBox(QStringLiteral("Aufbau des Dateinamens"), allgemein), "GroupBox1");
    ET1 = PartBox("ET1", aufbau);
    ET2 = PartBox("ET2", aufbau);
    ET3 = PartBox("ET3", aufbau);
    ETrennzeichen1 = Named(new QLineEdit(aufbau), "ETrennzeichen1");
    ETrennzeichen2 = Named(new QLineEdit(aufbau), "ETrennzeichen2");
    const int separatorWidth = ETrennzeichen1->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")) + 12;
    ETrennzeichen1->setFixedWidth(separatorWidth);
    ETrennzeichen2->setFixedWidth(separatorWidth);

    auto* parts = new QGridLayout;
    const std::array<std::pair<const char16_t*, QWidget*>, 5> columns {{
        {u"1. Teil", ET1},
        {u"1. Trennz.", ETrennzeichen1},
        {u"2. Teil", ET2},
        {u"2. Trennz.", ETrennzeichen2},
        {u"3. Teil", ET3},
    }};
    for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
        const auto& [caption, field] = columns[static_cast<std::size_t>(column)];
        auto* label = new QLabel(QString::fromUtf16(caption), aufbau);
        label->setBuddy(field);
        parts->addWidget(label, 0, column);
        parts->addWidget(field, 1, column);
    }

    CBOrdner = Named(new QCheckBox(QStringLiteral("Ordnername entspricht Albumname"), aufbau), "CBOrdner");
    CBDatum = Named(new QCheckBox(QStringLiteral("Jahr aus Dateidatum übernehmen (und umgekehrt)"), aufbau), "CBDatum");
    CDDatumBeibehalten = Named(
        new QCheckBox(QStringLiteral("Dateidatum auch bei Änderung beibehalten"), aufbau), "CDDatumBeibehalten");
    CBTitel0 = Named(new QCheckBox(QStringLiteral("Titelnummer 0 immer weglassen"), aufbau), "CBTitel0");
    BitBtn1 = Named(new QPushButton(QStringLiteral("&Vorgabe auswählen"), aufbau), "BitBtn1");
    BitBtn1->setAutoDefault(false);

    PMVorgaben = Named(new QMenu(this), "PMVorgaben");
    for (const TVorgabe& vorgabe : kVorgaben) {
        QAction* item = PMVorgaben->addAction(QString::fromUtf16(vorgabe.Caption));
        item->setProperty("Tag", vorgabe.Tag);
    }

    auto* options = new QVBoxLayout;
    for (QCheckBox* box : {CBOrdner, CBDatum, CDDatumBeibehalten, CBTitel0})
        options->addWidget(box);
    auto* lower = new QHBoxLayout;
    lower->addLayout(options);
    lower->addStretch();
    lower->addWidget(BitBtn1, 0, Qt::AlignBottom);

    auto* aufbauLayout = new QVBoxLayout(aufbau);
    aufbauLayout->addLayout(parts);
    aufbauLayout->addSpacing(fontMetrics().height() / 2);
    aufbauLayout->addLayout(lower);

    auto* allgemeinLayout = new QVBoxLayout(allgemein);
    allgemeinLayout->addWidget(label1);
    allgemeinLayout->addWidget(label2);
    allgemeinLayout->addWidget(aufbau);
    CBID3v2 = Named(new QCheckBox(QStringLiteral("Änderungen auch in den ID3v2-Tag schreiben"), allgemein), "CBID3v2");
    allgemeinLayout->addWidget(CBID3v2);
    auto* zeichensatz = Named(new QLabel(QStringLiteral("Zeichensatz der ID3v1-Tags"), allgemein), "Label5");
    CBZeichensatz = Named(new QComboBox(allgemein), "CBZeichensatz");
    for (const TCharsetInfo& info : Charsets)
        CBZeichensatz->addItem(QString::fromUtf8(info.Label), QString::fromLatin1(info.Name));
    CBZeichensatz->setMaxVisibleItems(static_cast<int>(Charsets.size()));
    zeichensatz->setBuddy(CBZeichensatz);
    CBZeichensatz->setAccessibleName(zeichensatz->text());
    LVorschau = Named(new QLabel(allgemein), "LVorschau");
    LVorschau->setTextFormat(Qt::PlainText);
    auto* zeichensatzLayout = new QGridLayout;
    zeichensatzLayout->addWidget(zeichensatz, 0, 0, 1, 2);
    zeichensatzLayout->addWidget(CBZeichensatz, 1, 0, Qt::AlignTop);
    zeichensatzLayout->addWidget(LVorschau, 1, 1, Qt::AlignTop);
    zeichensatzLayout->setColumnStretch(1, 1);
    allgemeinLayout->addLayout(zeichensatzLayout);
    allgemeinLayout->addStretch();
    pages->addTab(allgemein, QStringLiteral("Allgemein"));

    // Installation
    auto* installation = Named(new QWidget(pages), "TabSheet2");
    auto* verknuepfung = Named(new QGroupBox(QStringLiteral("Verknüpfung"), installation), "GroupBox2");
    auto* image = Named(new QLabel(verknuepfung), "Image1");
    image->setPixmap(Icons::App().pixmap(48, 48));
    auto* label3 = Named(new QLabel(QStringLiteral("Verknüpfung zum Klangmappe erstellen..."), verknuepfung), "Label3");
    auto* button4 = Named(new QPushButton(QStringLiteral("... im Startmenü"), verknuepfung), "Button4");
    auto* button3 = Named(new QPushButton(QStringLiteral("... auf dem Desktop"), verknuepfung), "Button3");
    button4->setAutoDefault(false);
    button3->setAutoDefault(false);
    auto* shortcutButtons = new QVBoxLayout;
    shortcutButtons->addWidget(label3);
    shortcutButtons->addWidget(button4);
    shortcutButtons->addWidget(button3);
    auto* verknuepfungLayout = new QHBoxLayout(verknuepfung);
    verknuepfungLayout->addWidget(image, 0, Qt::AlignTop);
    verknuepfungLayout->addSpacing(fontMetrics().height());
    verknuepfungLayout->addLayout(shortcutButtons);
    verknuepfungLayout->addStretch();

    auto* zuruecksetzen = Named(new QGroupBox(QStringLiteral("Zurücksetzen"), installation), "GroupBox3");
    auto* label4 = WrappedLabel(
        QStringLiteral("Sie können alle Einstellungen auf den Anfangszustand zurücksetzen. Die ursprünglichen "
                       "Einstellungen sind erst nach einem Neustart des Programms wieder aktiv."),
        "Label4", zuruecksetzen);
    auto* bitBtn2 = Named(new QPushButton(QStringLiteral("Jetzt alles zurücksetzen"), zuruecksetzen), "BitBtn2");
    bitBtn2->setAutoDefault(false);
    auto* zuruecksetzenLayout = new QVBoxLayout(zuruecksetzen);
    zuruecksetzenLayout->addWidget(label4);
    zuruecksetzenLayout->addWidget(bitBtn2, 0, Qt::AlignLeft);

    auto* installationLayout = new QVBoxLayout(installation);
    installationLayout->addWidget(verknuepfung);
    installationLayout->addWidget(zuruecksetzen);
    installationLayout->addStretch();
    pages->addTab(installation, QStringLiteral("Installation"));

    auto* button2 = Named(new QPushButton(QStringLiteral("OK"), this), "Button2");
    auto* button1 = Named(new QPushButton(QStringLiteral("Abbrechen"), this), "Button1");
    button2->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button2);
    buttons->addWidget(button1);

    auto* main = new QVBoxLayout(this);
    main->addWidget(pages);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(CBDatum, &QCheckBox::toggled, this, &TForm3::CBDatumClick);
    connect(CBZeichensatz, &QComboBox::currentIndexChanged, this, &TForm3::ShowPreview);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(PMVorgaben, &QMenu::triggered, this, &TForm3::VorgabeClick);
    connect(bitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(button3, &QPushButton::clicked, this, &TForm3::Button3Click);
    connect(button4, &QPushButton::clicked, this, &TForm3::Button4Click);
    connect(button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    FormCreate();
}

void TForm3::FormCreate()
{
    ETrennzeichen1->setText(m_names.TZ1);
    ETrennzeichen2->setText(m_names.TZ2);
    ShowKind(ET1, m_names.DNAufbau[0]);
    ShowKind(ET2, m_names.DNAufbau[1]);
    ShowKind(ET3, m_names.DNAufbau[2]);
    CBOrdner->setChecked(m_names.DirAlbum);
    // Checking CBDatum runs CBDatumClick, which remembers the keep-date box as
    // it is now; only then that box gets the stored value.
    CBDatum->setChecked(m_names.JahrVonDatei);
    CDDatumBeibehalten->setChecked(m_names.DatumBeibehalten);
    CBTitel0->setChecked(m_names.keinTitel0);
    CBID3v2->setChecked(m_names.ID3v2Mitschreiben);
    CBZeichensatz->setCurrentIndex(std::max(0, CBZeichensatz->findData(m_names.ID3v1Zeichensatz)));
    ShowPreview();
}

void TForm3::SetPreview(std::optional<TPreview> preview)
{
    m_preview = std::move(preview);
    ShowPreview();
}

void TForm3::ShowPreview()
{
    if (!m_preview) {
        LVorschau->setText(QStringLiteral("Keine Datei für die Vorschau"));
        return;
    }
    const TCharset charset(CharsetOrDefault(CBZeichensatz->currentData().toString().toStdString()));
    LVorschau->setText(QStringLiteral("Titel: %1\nInterpret: %2")
                           .arg(charset.ToQString(m_preview->Titel), charset.ToQString(m_preview->Interpret)));
}

void TForm3::Button2Click()
{
    m_names.TZ1 = ETrennzeichen1->text();
    m_names.TZ2 = ETrennzeichen2->text();
    m_names.DNAufbau = {KindOf(ET1), KindOf(ET2), KindOf(ET3)};
    m_names.DirAlbum = CBOrdner->isChecked();
    m_names.JahrVonDatei = CBDatum->isChecked();
    m_names.DatumBeibehalten = CDDatumBeibehalten->isChecked();
    m_names.keinTitel0 = CBTitel0->isChecked();
    m_names.ID3v2Mitschreiben = CBID3v2->isChecked();
    m_names.ID3v1Zeichensatz = CBZeichensatz->currentData().toString();
    accept();
}

void TForm3::Button1Click() { reject(); }

void TForm3::BitBtn1Click() { PMVorgaben->popup(BitBtn1->mapToGlobal(QPoint(0, BitBtn1->height()))); }

void TForm3::VorgabeClick(QAction* item)
{
    const int tag = item->property("Tag").toInt();
    std::array<std::uint8_t, 3> parts {PartNone, PartNone, PartNone};
    QString tz1;
    QString tz2;
    for (const TVorgabe& vorgabe : kVorgaben) {
        if (vorgabe.Tag == tag) {
            parts = vorgabe.Parts;
            tz1 = QString::fromUtf16(vorgabe.TZ1);
            tz2 = QString::fromUtf16(vorgabe.TZ2);
        }
    }
    ShowKind(ET1, parts[0]);
    ShowKind(ET2, parts[1]);
    ShowKind(ET3, parts[2]);
    ETrennzeichen1->setText(tz1);
    ETrennzeichen2->setText(tz2);
}

void TForm3::CBDatumClick()
{
    // A year taken from the file date must not be lost by a tag write changing that date.
    if (CBDatum->isChecked()) {
        m_datumBeibehaltenGemerkt = CDDatumBeibehalten->isChecked();
        CDDatumBeibehalten->setChecked(true);
        CDDatumBeibehalten->setEnabled(false);
    } else {
        CDDatumBeibehalten->setEnabled(true);
        CDDatumBeibehalten->setChecked(m_datumBeibehaltenGemerkt);
    }
}

void TForm3::BitBtn2Click()
{
    if (m_dialogs.Message(QStringLiteral("Wollen Sie wirklich alle Einstellungen zurücksetzen?\rHinweis: Die "
                                        "ursprünglichen Einstellungen werden erst nach einem Neustart des "
                                        "Programms aktiv."),
            TDialogs::Kind::Warning, TDialogs::Yes | TDialogs::No, TDialogs::No)
        != TDialogs::Result::Yes)
        return;
    TRegistry registry;
    if (registry.OpenKey(kSettingsKey, false)) {
        for (const QString& name : registry.GetValueNames())
            registry.DeleteValue(name);
        registry.CloseKey();
    }
    if (OnReset)
        OnReset();
}

void TForm3::Button3Click() { ShortcutInto(DesktopFolder()); }

void TForm3::Button4Click() { ShortcutInto(ApplicationsFolder()); }

void TForm3::ShortcutInto(const QString& folder)
{
    if (folder.isEmpty() || !CreateShortcut(folder))
        m_dialogs.Message(
            QStringLiteral("Es konnte keine Verknüpfung erstellt werden."), TDialogs::Kind::Information, TDialogs::Ok);
}

} // namespace km
