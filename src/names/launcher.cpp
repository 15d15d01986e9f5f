#include "names/launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace km {

namespace {
const QString kFileName = QStringLiteral("Klangmappe.desktop");

// Escapes of a desktop-entry string value.
QString EscapeString(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

// One Exec argument: quoted when it holds a character the launcher would
// split or interpret, and "%" doubled so it is no field code.
QString ExecArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote
        = arg.isEmpty() || std::any_of(arg.begin(), arg.end(), [](QChar c) { return reserved.contains(c); });
    QString out;
    for (QChar c : arg) {
        if (c == u'%')
            out += QStringLiteral("%%");
        else if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}
} // namespace

QString LauncherEntry(const QString& executable)
{
    QFile source(QStringLiteral(":/") + kFileName);
    if (!source.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(source.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    QString entry;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec="))) {
            entry += QStringLiteral("Exec=") + EscapeString(ExecArgument(executable)) + QStringLiteral(" %f\n");
            entry += QStringLiteral("Path=") + EscapeString(QFileInfo(executable).absolutePath()) + QLatin1Char('\n');
        } else {
            entry += line + QLatin1Char('\n');
        }
    }
    return entry;
}

bool CreateShortcut(const QString& folder)
{
    const QString entry = LauncherEntry(QCoreApplication::applicationFilePath());
    if (folder.isEmpty() || entry.isEmpty())
        return false;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(kFileName);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(entry.toUtf8());
        file.commit();
    }
    // Desktops start only launchers that are marked executable.
    QFile::setPermissions(path,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    return QFileInfo(path).isFile();
}

QString DesktopFolder() { return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation); }

QString ApplicationsFolder() { return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation); }

} // namespace km
