#include "export/playlist.h"

#include "model/entry.h"
#include "platform/charset.h"

#include <string_view>

namespace km {

std::uint32_t PlaylistSeconds(std::uint32_t milliseconds)
{
    const std::uint32_t seconds = milliseconds / 1000;
    const std::uint32_t rest = milliseconds % 1000;
    if (rest > 500 || (rest == 500 && seconds % 2 == 1))
        return seconds + 1;
    return seconds;
}

namespace {

std::vector<std::string_view> Names(std::string_view folder)
{
    std::vector<std::string_view> names;
    std::size_t start = 0;
    while (start < folder.size()) {
        const std::size_t slash = folder.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? folder.size() : slash;
        if (end > start)
            names.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string DisplayText(const TEintragDaten& entry)
{
    const std::string_view artist = FieldView(entry.Tag.Interpret);
    const std::string_view title = FieldView(entry.Tag.Titel);
    const TCharset& charset = ID3v1Charset();
    std::string text = (artist.empty() ? std::string("?") : charset.ToUtf8(artist)) + " - "
        + (title.empty() ? std::string("?") : charset.ToUtf8(title));
    if (text == "? - ?") {
        const std::string& name = entry.FileName;
        text = name.size() < 4 ? name : name.substr(0, name.size() - 4);
    }
    // A line break in a tag or a name would turn the rest of the line into a path.
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// file:// and the absolute path, every byte but letters, digits, "-._~" and "/"
// percent-encoded; players decode it to the name's own bytes.
std::string FileUrl(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' || b == '.'
            || b == '_' || b == '~' || b == '/') {
            url += c;
        } else {
            url += '%';
            url += kHex[b >> 4];
            url += kHex[b & 15];
        }
    }
    return url;
}

std::string PathLine(const TEintragDaten& entry, const std::optional<std::string>& relativeTo)
{
    const std::string path = entry.FullPath();
    // A line break would split the entry; a URL carries it whole, and only an absolute one is a file URL.
    if (path.find_first_of("\r\n") != std::string::npos)
        return FileUrl(path);
    if (!relativeTo)
        return path;
    std::string relative = RelativeFolder(*relativeTo, entry.Folder) + entry.FileName;
    // Players skip a line starting with "#" as a comment, and trim blanks at its start.
    if (relative.starts_with('#') || relative.starts_with(' ') || relative.starts_with('\t'))
        relative.insert(0, "./");
    return relative;
}

} // namespace

std::string RelativeFolder(const std::string& base, const std::string& folder)
{
    const std::vector<std::string_view> from = Names(base);
    const std::vector<std::string_view> to = Names(folder);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    std::string result;
    for (std::size_t k = common; k < from.size(); ++k)
        result += "../";
    for (std::size_t k = common; k < to.size(); ++k)
        result.append(to[k]).push_back('/');
    return result;
}

QByteArray PlaylistText(const std::vector<const TEintragDaten*>& entries, bool extended,
    const std::optional<std::string>& relativeTo)
{
    std::string text;
    if (extended)
        text += "#EXTM3U\r\n";
    for (const TEintragDaten* entry : entries) {
        if (extended)
            text += "#EXTINF:" + std::to_string(PlaylistSeconds(entry->Duration)) + "," + DisplayText(*entry) + "\r\n";
        text += PathLine(*entry, relativeTo) + "\r\n";
    }
    return QByteArray::fromStdString(text);
}

} // namespace km
