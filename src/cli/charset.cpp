#include "cli/commands.h"
#include "platform/charset.h"

namespace km::cli {

void AddCharsetOption(TOptionParser& options)
{
    options.Value({"--charset"}, [](const std::string& name) {
        const TCharsetInfo* charset = FindCharset(name);
        if (!charset)
            throw TUsageError {"Unbekannter Zeichensatz: " + name + "\n(" + CharsetNames() + ")"};
        SetID3v1Charset(*charset);
    });
}

} // namespace km::cli
