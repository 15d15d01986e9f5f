#pragma once

#include "platform/shell.h"

namespace km {

// The desktop's own associations, through QDesktopServices.
class TQtShell : public TShell {
public:
    bool OpenDocument(const QString& path, const QString& workingFolder) override;
    void OpenAddress(const QString& url) override;
};

} // namespace km
