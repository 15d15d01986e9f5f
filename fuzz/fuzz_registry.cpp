// The settings file parser: the input is the file. It is read, written back,
// and the written file read again: both reads must hold the same keys and
// values, and writing the second changes no byte.
#include "platform/registry.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_registry: %s\n", what);
    std::abort();
}

// In memory where the system has it; one file per process, removed after
// each input, since libFuzzer ends without running exit handlers.
const QString& FilePath()
{
    static const QString path = [] {
        std::string dir = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        dir += "/klangmappe-fuzz-" + std::to_string(getuid());
        struct stat st {};
        Expect((mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) && lstat(dir.c_str(), &st) == 0
                && S_ISDIR(st.st_mode) && st.st_uid == getuid(),
            "no folder of our own for the settings file");
        return QString::fromStdString(dir + "/s" + std::to_string(getpid()) + ".reg");
    }();
    return path;
}

void WriteFile(const QByteArray& bytes)
{
    QFile file(FilePath());
    Expect(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
        "the input could not be written");
}

QByteArray ReadFile()
{
    QFile file(FilePath());
    Expect(file.open(QIODevice::ReadOnly), "the written file is missing");
    return file.readAll();
}

// Makes the registry write its file without changing what it holds beyond
// the probe key, which exists after the first round.
void WriteBack(km::TRegistry& reg)
{
    // Gone before the write, so an unreadable input is not kept aside.
    QFile::remove(FilePath());
    const QString probe = QStringLiteral("Software\\Fennwick\\Probe");
    Expect(reg.OpenKey(probe, true), "the probe key could not be opened");
    reg.WriteInteger(QStringLiteral("p"), 1);
    Expect(reg.DeleteValue(QStringLiteral("p")), "the probe value could not be deleted");
    Expect(reg.CloseKey(), "the file could not be written");
}

// The keys below HKEY_CURRENT_USER that the written file names.
QStringList KeysOf(const QByteArray& written)
{
    QStringList keys;
    const QString root = QStringLiteral("HKEY_CURRENT_USER");
    for (const QString& line : QString::fromUtf8(written).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('[')) || !line.endsWith(QLatin1Char(']')))
            continue;
        const QString key = line.mid(1, line.size() - 2);
        if (key.compare(root, Qt::CaseInsensitive) == 0)
            keys << QString();
        else if (key.startsWith(root + QLatin1Char('\\'), Qt::CaseInsensitive))
            keys << key.mid(root.size() + 1);
    }
    return keys;
}

void ExpectSameKey(km::TRegistry& a, km::TRegistry& b, const QString& key)
{
    const bool open = a.OpenKey(key, false);
    Expect(open == b.OpenKey(key, false), "a key opens in one read only");
    Expect(a.KeyExists(key) == b.KeyExists(key), "a key exists in one read only");
    if (!open)
        return;
    const QStringList names = a.GetValueNames();
    Expect(names == b.GetValueNames(), "the reads hold other value names");
    for (const QString& name : names) {
        Expect(a.GetDataType(name) == b.GetDataType(name), "a value changed its type");
        Expect(a.GetDataSize(name) == b.GetDataSize(name), "a value changed its size");
        Expect(a.ReadString(name) == b.ReadString(name), "a string changed");
        Expect(a.ReadInteger(name) == b.ReadInteger(name), "an integer changed");
        Expect(a.ReadBinaryData(name) == b.ReadBinaryData(name), "binary data changed");
    }
    a.CloseKey();
    b.CloseKey();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteFile(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    km::TRegistry first(FilePath());
    WriteBack(first);
    const QByteArray written = ReadFile();

    km::TRegistry second(FilePath());
    WriteBack(second);
    Expect(ReadFile() == written, "writing the file back changed it");

    for (const QString& key : KeysOf(written))
        ExpectSameKey(first, second, key);
    QFile::remove(FilePath());
    return 0;
}
