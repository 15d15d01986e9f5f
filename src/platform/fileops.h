#pragma once

#include "tags/fileio.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace km {

class TDialogs;

// The file system calls behind copy, move and delete, so tests can make them fail.
class TFileOpsLayer : public TFileLayer {
public:
    // To the desktop trash; false when the file could not go there (it stays).
    virtual bool MoveToTrash(const std::string& path);

    static TFileOpsLayer& Posix();
};

// Copies, moves and deletes whole files, one after the other, and asks the
// user through the dialogs when a name clashes, a file fails or before
// deleting. No file is ever replaced without an explicit yes, and a file that
// fails or is cancelled half way stays as it was.
class TFileOps {
public:
    // Paths as the file system spells them: names that are no UTF-8 keep their bytes.
    using TPaths = std::vector<std::string>;

    explicit TFileOps(TDialogs& dialogs, TFileOpsLayer& layer = TFileOpsLayer::Posix());

    // Called before each file and while a large file is copied; false stops.
    std::function<bool(int done, int total, const QString& file)> Progress;

    // `renameOnCollision`: a clash gives "Name - Kopie.mp3" instead of a question.
    // All three give false when the user stopped the operation.
    bool Copy(const TPaths& files, const std::string& folder, bool renameOnCollision);
    bool Move(const TPaths& files, const std::string& folder, bool renameOnCollision);
    // Asks first. `forGood`: removed, not moved to the trash.
    bool Delete(const TPaths& files, bool forGood);

private:
    enum class TStep { Next, Stop };
    enum class TChoice { Go, Skip, Stop };

    bool Transfer(const TPaths& files, const std::string& folder, bool move, bool renameOnCollision);
    TStep TransferOne(const std::string& source, const std::string& folder, bool move, bool renameOnCollision);
    TChoice ChooseTarget(const std::string& source, const std::string& folder, const std::string& name, bool move,
        bool renameOnCollision, std::string& target, bool& replace);
    int CopyToTemp(const std::string& source, const std::string& folder, std::string& temp);
    TStep Fail(const QString& text, int error);
    bool Step(const QString& file);

    TDialogs& m_dialogs;
    TFileOpsLayer& m_layer;
    QString m_folder; // the destination, ending in "/"
    int m_done = 0;
    int m_total = 0;
    bool m_more = false; // files follow the current one
    bool m_replaceAll = false;
    bool m_skipAll = false;
    // What this operation put into the destination: never replaced by a later file of it.
    std::set<std::string> m_arrived;
};

// The name of the n-th copy beside `name`: 1 gives "Name - Kopie.mp3", 2 "Name - Kopie (2).mp3".
std::string CopyName(const std::string& name, int n);

} // namespace km
