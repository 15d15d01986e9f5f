#pragma once

#include "platform/shell.h"

#include <QStringList>

namespace km::test {

// Remembers what the program asked the desktop to open.
class TRecordingShell : public TShell {
public:
    bool OpenDocument(const QString& path, const QString& workingFolder) override
    {
        documents << path;
        folders << workingFolder;
        return opens;
    }
    void OpenAddress(const QString& url) override { addresses << url; }

    bool opens = true; // whether the desktop finds a program for a document
    QStringList documents;
    QStringList folders;
    QStringList addresses;
};

} // namespace km::test
