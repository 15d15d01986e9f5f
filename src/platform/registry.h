#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace km {

// A small stand-in for the per-user registry: one text file in the regedit
// format, one section per key below HKEY_CURRENT_USER:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Fennwick\Klangmappe\2]
//   "LastDir"="/home/anna/"
//   "Sort"=dword:00000001
//   "DNAufbau"=hex:02,03,00
//
// Reads never fail loudly: a missing, unreadable or garbled file has no values.
// Writes go to the file at CloseKey (or destruction) through a temporary file
// and a rename, so a crash never leaves half a file. A file that could not be
// read at all is kept as "<path>.defekt" before it is replaced.
class TRegistry {
public:
    enum class DataType { None, String, Integer, Binary };

    // $XDG_CONFIG_HOME/Fennwick/Klangmappe.reg, ~/.config when XDG_CONFIG_HOME is unset.
    static QString DefaultPath();

    explicit TRegistry(const QString& path = DefaultPath());
    ~TRegistry(); // closes the key, writing what changed
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // `key` is relative to HKEY_CURRENT_USER, with backslashes ("Software\Fennwick\Klangmappe\2").
    // Without `canCreate` a key that does not exist is not opened.
    bool OpenKey(const QString& key, bool canCreate);
    // Writes the file when anything changed; false when that write failed.
    bool CloseKey();
    bool KeyExists(const QString& key) const;
    bool IsOpen() const;

    bool ValueExists(const QString& name) const;
    DataType GetDataType(const QString& name) const;
    // Bytes of the value as the registry counts them: strings with their terminator (UTF-16), integers 4.
    int GetDataSize(const QString& name) const;
    QStringList GetValueNames() const;
    bool DeleteValue(const QString& name);

    // Reading a value that is missing or of another type gives an empty/zero result;
    // callers check GetDataType first.
    QString ReadString(const QString& name) const;
    qint32 ReadInteger(const QString& name) const;
    bool ReadBool(const QString& name) const; // true when not 0
    QByteArray ReadBinaryData(const QString& name) const;

    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, qint32 value);
    void WriteBool(const QString& name, bool value); // 0 or 1
    void WriteBinaryData(const QString& name, const QByteArray& value);

private:
    struct Value {
        QString name;
        DataType type = DataType::None;
        QString text;
        qint32 number = 0;
        QByteArray bytes;
        int kind = 0; // registry type number of a kept hex(N) value of type None
    };
    using Section = std::vector<Value>; // in file order

    void Load();
    bool Save();
    bool KeepAside() const;
    static QString FullKey(const QString& key);
    int SectionIndex(const QString& fullKey) const;
    Section* Current();
    const Section* Current() const;
    const Value* Find(const QString& name) const;
    Value& Put(const QString& name);
    void Store(const QString& name, Value value);

    QString m_path;
    std::vector<std::pair<QString, Section>> m_sections; // section name as in the file, in file order
    QString m_openKey;                                   // full section name, empty when none is open
    bool m_dirty = false;
    bool m_keepAside = false; // the file exists but none of it could be read
};

} // namespace km
