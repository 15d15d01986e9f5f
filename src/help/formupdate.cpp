#include "help/formupdate.h"

#include "browse/commandcontext.h"
#include "help/mailto.h"
#include "help/safepage.h"
#include "model/addresses.h"
#include "model/version.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "ui/commandtable.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace km {

namespace {

const QString kVersionFilePath = QStringLiteral("/Klangmappe/Version.txt");
const QString kVersionPagePath = QStringLiteral("/Klangmappe/version.htm");
constexpr qsizetype kMaxVersionFile = 4 * 1024;
constexpr qsizetype kMaxVersionPage = 1024 * 1024;
const THttpServer kMakerServer {QStringLiteral("fennwick.example"), 80};

const TActionDef kCommands[] = {
    {"ActUpdate", "Datei", "auf &Update prüfen...", "", {}},
};

const char* const kRetryQuestion
    = "Die aktuellen Programminformationen konnten nicht aus dem Internet geladen werden.\n\r"
      "Wahrscheinlich besteht keine Verbindung zum Internet. Bitte stellen Sie diese zuerst her!\n\r"
      "Möchten Sie noch einmal versuchen die Informationen aus dem Internet zu laden?";

// Shows the page the window fetched and nothing else: no pictures or style
// sheets of its own from the network or from local files.
class TPagePanel : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl&) override
    {
        // An empty picture rather than the broken-picture sign.
        if (type == QTextDocument::ImageResource) {
            QImage none(1, 1, QImage::Format_ARGB32);
            none.fill(Qt::transparent);
            return none;
        }
        return {};
    }
};

QString PageText(const THttpResult& page)
{
    const QByteArray type = page.ContentType.toLower();
    const qsizetype charset = type.indexOf("charset=");
    QStringDecoder decoder = charset >= 0
        ? QStringDecoder(type.mid(charset + 8).split(';').first().trimmed().replace('"', "").constData())
        : QStringDecoder::decoderForHtml(page.Body);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(page.Body);
}

QUrl ServerUrl(const THttpServer& server, const QString& path)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(server.Host);
    if (server.Port != 80)
        url.setPort(server.Port);
    url.setPath(path);
    return url;
}

} // namespace

TUpdateSource DefaultUpdateSource()
{
    TUpdateSource source;
    const QString configured = qEnvironmentVariable("KLANGMAPPE_UPDATE_URL");
    source.Server = configured.isEmpty() ? kMakerServer : ReadServerAddress(configured).value_or(THttpServer {});
    return source;
}

TFormUpdate::TFormUpdate(const TUpdateSource& source, TDialogs& dialogs, TShell& shell, QWidget* parent)
    : QDialog(parent)
    , m_source(source)
    , m_dialogs(dialogs)
    , m_shell(shell)
    , m_check(new THttpGet(this))
    , m_page(new THttpGet(this))
{
    setObjectName(QStringLiteral("FormUpdate"));
    setWindowTitle(QStringLiteral("Update-Informationen"));
    m_check->SetTimeout(source.Timeout);
    m_page->SetTimeout(source.Timeout);
    connect(m_check, &THttpGet::Finished, this, &TFormUpdate::VersionFileArrived);
    connect(m_page, &THttpGet::Finished, this, &TFormUpdate::PageArrived);

    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Diese Programmversion:"));
    Label5 = label("Label5", {});
    Label2 = label("Label2", QStringLiteral("Aktuellste Programmversion:"));
    Label6 = label("Label6", QStringLiteral("?"));
    Label7 = label("Label7", QStringLiteral("Aktuellere Version vorhanden!"));
    Label3 = label("Label3", QStringLiteral("Homepage:"));
    Label4 = label("Label4", QString::fromLatin1(kHomepageAddress));
    QFont bold = font();
    bold.setBold(true);
    Label5->setFont(bold);
    Label6->setFont(bold);
    Label7->setFont(bold);
    QPalette red = Label7->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label7->setPalette(red);
    Label7->hide();
    QFont underlined = font();
    underlined.setUnderline(true);
    Label4->setFont(underlined);
    QPalette link = Label4->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    Label4->setPalette(link);
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->installEventFilter(this);

    WebBrowser1 = new TPagePanel(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenLinks(false);
    WebBrowser1->setMinimumSize(480, 300);
    connect(WebBrowser1, &QTextBrowser::anchorClicked, this, &TFormUpdate::Link);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);

    auto* versions = new QGridLayout;
    versions->addWidget(Label1, 0, 0);
    versions->addWidget(Label5, 0, 1);
    versions->addWidget(Label2, 1, 0);
    versions->addWidget(Label6, 1, 1);
    versions->addWidget(Label7, 1, 2);
    versions->setColumnMinimumWidth(1, 50);
    versions->setColumnStretch(2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label3);
    bottom->addWidget(Label4);
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(versions);
    layout->addWidget(WebBrowser1, 1);
    layout->addLayout(bottom);
    // Fixed, but growing with a long version number from the server.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    Label5->setText(VersionText(kOwnVersion));
    // The window is on the screen, labels as they start, before anyone waits.
    QTimer::singleShot(0, this, [this] {
        repaint();
        RunCheck();
    });
}

void TFormUpdate::done(int result)
{
    m_check->Abort();
    m_page->Abort();
    QDialog::done(result);
}

void TFormUpdate::RunCheck() { m_check->Start(m_source.Server, kVersionFilePath, kMaxVersionFile); }

void TFormUpdate::VersionFileArrived(const THttpResult& result)
{
    if (!result.Ok) {
        AskRetry();
        return;
    }
    const TVersionFile file = ReadVersionFile(result.Body);
    switch (file.Result) {
    case TVersionFile::State::Incomplete: {
        const QPointer<TFormUpdate> self(this);
        m_dialogs.Message(QStringLiteral("Versionsinformationen sind unvollständig."), TDialogs::Kind::Error,
            TDialogs::Ok);
        if (self)
            emit CheckFinished();
        return;
    }
    case TVersionFile::State::Invalid:
        AskRetry();
        return;
    case TVersionFile::State::Read:
        break;
    }
    Label7->setVisible(IsNewer(file.Version));
    Label6->setText(VersionText(file.Version));
    m_page->Start(m_source.Server, kVersionPagePath, kMaxVersionPage);
    emit CheckFinished();
}

void TFormUpdate::AskRetry()
{
    const QPointer<TFormUpdate> self(this);
    const TDialogs::Result answer
        = m_dialogs.Message(QString::fromUtf8(kRetryQuestion), TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No);
    // The window may have been closed behind the question.
    if (!self || !isVisible())
        return;
    if (answer == TDialogs::Result::Yes)
        RunCheck();
    else
        emit CheckFinished();
}

void TFormUpdate::PageArrived(const THttpResult& result)
{
    if (result.Ok) {
        if (result.ContentType.toLower().startsWith("text/plain"))
            WebBrowser1->setPlainText(SafeText(PageText(result)));
        else
            WebBrowser1->setHtml(SafePage(PageText(result)));
    } else {
        WebBrowser1->setPlainText(QStringLiteral("Die Seite konnte nicht geladen werden (%1).").arg(result.Error));
    }
    emit PageFinished();
}

void TFormUpdate::Link(const QUrl& url)
{
    // Links of the page go to the desktop's browser, resolved against the page;
    // mail addresses to its mail program, without headers that could attach files.
    const QUrl target = ServerUrl(m_source.Server, kVersionPagePath).resolved(url);
    if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
        m_shell.OpenAddress(target.toString());
    else if (const QUrl mail = SafeMailAddress(target); !mail.isEmpty())
        m_shell.OpenAddress(mail.toString(QUrl::FullyEncoded));
}

void TFormUpdate::Label4Click() { m_shell.OpenAddress(QString::fromLatin1(kHomepageAddress)); }

bool TFormUpdate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label4 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && Label4->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Label4Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TUpdateCommand::TUpdateCommand(const TCommandContext& context)
    : QObject(context.Window)
    , m_dialogs(context.Dialogs)
    , m_shell(context.Shell)
    , m_window(context.Window)
{
    context.Commands.Define(kCommands);
    context.Commands.On(QStringLiteral("ActUpdate"), [this] { ActUpdateExecute(); });
}

void TUpdateCommand::ActUpdateExecute()
{
    TUpdateSource source = DefaultUpdateSource();
    if (m_timeout)
        source.Timeout = *m_timeout;
    auto* form = new TFormUpdate(source, m_dialogs, m_shell, m_window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->exec();
}

} // namespace km
