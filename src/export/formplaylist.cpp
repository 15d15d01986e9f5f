#include "export/formplaylist.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace km {

TFormPlaylist::TFormPlaylist(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormPlaylist"));
    setWindowTitle(QStringLiteral("Playlist erstellen"));
    auto* label1 = new QLabel(QStringLiteral("Playlist erstellen aus..."), this);
    label1->setObjectName(QStringLiteral("Label1"));
    RadioButton1 = new QRadioButton(QStringLiteral("allen markierten MP3-Dateien"), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("allen aufgelisteten MP3-Dateien"), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    CheckBox1 = new QCheckBox(QStringLiteral("Spieldauer und Titel hinzufügen"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    auto* label2 = new QLabel(QStringLiteral("(erspart dem Player das erneute Einlesen der Informationen)"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setIndent(CheckBox1->sizeHint().height());
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(RadioButton1);
    layout->addWidget(RadioButton2);
    layout->addSpacing(label1->fontMetrics().height() / 2);
    layout->addWidget(CheckBox1);
    layout->addWidget(label2);
    layout->addSpacing(label1->fontMetrics().height() / 2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TFormPlaylist::Execute(bool& allListed, bool& extended)
{
    if (allListed)
        RadioButton2->setChecked(true);
    CheckBox1->setChecked(extended);
    const bool accepted = exec() == QDialog::Accepted;
    allListed = RadioButton2->isChecked();
    extended = CheckBox1->isChecked();
    return accepted;
}

} // namespace km
