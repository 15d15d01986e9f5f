// The kinds of taken names a rename, copy or move may meet, and a record of
// a folder tree to show that nothing in it was replaced.
#pragma once

#include "tags/mp3bytes.h"

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km::test {

enum class TTaken { File, LinkToFile, LinkToSource, Dangling, HardLink, Folder, CaseTwin, Appears };

inline std::vector<TTaken> AllTaken()
{
    return {TTaken::File, TTaken::LinkToFile, TTaken::LinkToSource, TTaken::Dangling, TTaken::HardLink,
        TTaken::Folder, TTaken::CaseTwin, TTaken::Appears};
}

inline const char* TakenName(TTaken kind)
{
    static const char* const names[] = {"a file", "a link to a file", "a link to the source", "a dangling link",
        "a hard link of the source", "a folder", "a name differing in case", "a file appearing meanwhile"};
    return names[static_cast<int>(kind)];
}

// Another file of the target's name, as the copy and move code sees it.
inline bool Clashes(TTaken kind)
{
    return kind == TTaken::File || kind == TTaken::LinkToFile || kind == TTaken::Dangling || kind == TTaken::Folder
        || kind == TTaken::Appears;
}

inline const Bytes kOther = Fill(321, 0x4F);

// The target's name in upper case: on a file system that tells case apart another file.
inline std::string CaseTwin(const std::string& target)
{
    const std::size_t slash = target.rfind('/') + 1;
    std::string twin = target;
    for (std::size_t i = slash; i < twin.rfind('.'); ++i)
        twin[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(twin[i])));
    return twin;
}

// Puts `kind` under `target`; the one that appears meanwhile is the caller's to make.
inline void Take(TTaken kind, const std::string& source, const std::string& target)
{
    namespace fs = std::filesystem;
    const std::string folder = fs::path(target).parent_path().string();
    const auto write = [](const std::string& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    switch (kind) {
    case TTaken::File: write(target, kOther); break;
    case TTaken::LinkToFile:
        write(folder + "/other.bin", kOther);
        fs::create_symlink(folder + "/other.bin", target);
        break;
    case TTaken::LinkToSource: fs::create_symlink(source, target); break;
    case TTaken::Dangling: fs::create_symlink(folder + "/missing.bin", target); break;
    case TTaken::HardLink: fs::create_hard_link(source, target); break;
    case TTaken::Folder:
        fs::create_directory(target);
        write(target + "/inside.bin", kOther);
        break;
    case TTaken::CaseTwin: write(CaseTwin(target), kOther); break;
    case TTaken::Appears: break;
    }
}

// What a name holds: its inode, its type and its bytes or link text.
struct TNode {
    ino_t Inode = 0;
    char Type = '?'; // f, l, d
    Bytes Content;
    bool operator==(const TNode&) const = default;
};
using TSnapshot = std::map<std::string, TNode>;

inline void PrintTo(const TNode& node, std::ostream* os)
{
    *os << node.Type << " inode " << node.Inode << ", " << node.Content.size() << " bytes";
}

inline TSnapshot Snapshot(const std::string& root)
{
    namespace fs = std::filesystem;
    TSnapshot shot;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string path = e.path().string();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        TNode node;
        node.Inode = st.st_ino;
        if (S_ISLNK(st.st_mode)) {
            node.Type = 'l';
            const std::string text = fs::read_symlink(path).string();
            node.Content.assign(text.begin(), text.end());
        } else if (S_ISDIR(st.st_mode)) {
            node.Type = 'd'; // what it holds is recorded on its own
        } else {
            node.Type = 'f';
            node.Content = ReadFile(path);
        }
        shot[path] = node;
    }
    return shot;
}

} // namespace km::test
