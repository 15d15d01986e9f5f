#pragma once

#include "platform/shell.h"

#include <QStringList>

namespace km::test {

// Remembers what the program asked the desktop to open.
class TRecordingShell : public TShell {
public:
    void OpenDocument(const QString& path, const QString& workingFolder) override
    {
        documents << path;
        folders << workingFolder;
    }
    void OpenAddress(const QString& url) override { addresses << url; }

    QStringList documents;
    QStringList folders;
    QStringList addresses;
};

} // namespace km::test
