#pragma once

#include <QString>

namespace km {

// What the program asks of the desktop: opening files and addresses with
// their associated programs. Tests record the calls instead.
class TShell {
public:
    virtual ~TShell() = default;
    // Opens a file with the program the desktop associates with it; false
    // when the desktop could not hand it to any program.
    virtual bool OpenDocument(const QString& path, const QString& workingFolder) = 0;
    // Opens a web address in the browser; the result is not checked.
    virtual void OpenAddress(const QString& url) = 0;
};

} // namespace km
