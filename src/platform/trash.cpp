#include "platform/trash.h"

#include <gio/gio.h>

#include <string_view>

namespace km {

namespace {

// GIO resolves "." and ".." as text and drops a trailing "/": through a link
// that names another file than the system would, "" names the current folder,
// and a NUL byte would cut the name short.
bool NamesOneFile(const std::string& path)
{
    if (path.empty() || path.back() == '/' || path.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string_view part(path.data() + start, end - start);
        if (part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

bool MoveToDesktopTrash(const std::string& path)
{
    if (!NamesOneFile(path))
        return false;
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    const bool moved = g_file_trash(file, nullptr, &error);
    g_clear_error(&error);
    g_object_unref(file);
    return moved;
}

} // namespace km
