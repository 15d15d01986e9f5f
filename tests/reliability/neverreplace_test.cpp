// Every way the program renames, copies or moves a file, onto every kind of
// name that is already taken: nothing that was there loses its bytes or its
// inode, unless the user was asked and said yes.
#include "reliability/faults_layer.h"
#include "reliability/neverreplace_snapshot.h"

#include "model/entry.h"
#include "edit/tagsaver.h"
#include "names/namerenamer.h"
#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TCall;
using test::TFaultLayer;
using test::TTaken;
using Result = TDialogs::Result;

const Bytes kSong = test::Cat({test::Header(), test::Fill(700, 0x11), test::V1("Song")});

struct TWay {
    const char* name;
    const char* source; // relative to the test folder
    const char* target;
    bool copies = false; // the source stays
    bool asks = false;   // asks before replacing
    // Runs the operation; the scripted dialogs answer every question with `answer`.
    std::function<void(TFaultLayer&, test::TScriptedDialogs&, const std::string& root)> run;
};

std::vector<TWay> Ways()
{
    const auto ops = [](bool move, bool renameOnCollision) {
        return [=](TFaultLayer& layer, test::TScriptedDialogs& dialogs, const std::string& root) {
            TFileOps files(dialogs, layer);
            const TFileOps::TPaths paths {root + "/src/song.mp3"};
            if (move)
                files.Move(paths, root + "/dst", renameOnCollision);
            else
                files.Copy(paths, root + "/dst", renameOnCollision);
        };
    };
    return {
        {"to-name", "song.mp3", "Song.mp3", false, false,
            [](TFaultLayer& layer, test::TScriptedDialogs& dialogs, const std::string& root) {
                TTagSaver saver(dialogs, layer);
                TNameStructure names;
                names.DNAufbau = {3, 0, 0};
                TEintragDaten entry;
                entry.Folder = root + "/";
                entry.FileName = "song.mp3";
                entry.Tag = EmptyTag();
                StoreField(entry.Tag.Titel, "Song");
                const auto r = TNameRenamer(dialogs, saver, names).Rename(entry);
                // Entry and undo list say where the file is.
                EXPECT_EQ(fs::exists(root + "/song.mp3"), r != TNameRenamer::TOutcome::Renamed);
                EXPECT_EQ(saver.Undo().Count(), r == TNameRenamer::TOutcome::Renamed ? 1u : 0u);
            }},
        {"rename by hand", "song.mp3", "Song.mp3", false, false,
            [](TFaultLayer& layer, test::TScriptedDialogs& dialogs, const std::string& root) {
                dialogs.QueueInput(true, QStringLiteral("Song"));
                TTagSaver saver(dialogs, layer);
                const std::string now = AskAndRename(dialogs, saver, root + "/", "song.mp3");
                EXPECT_TRUE(fs::exists(root + "/" + now)) << now;
            }},
        {"rename undo", "song.mp3", "Song.mp3", false, false,
            [](TFaultLayer& layer, test::TScriptedDialogs& dialogs, const std::string& root) {
                TTagSaver saver(dialogs, layer);
                saver.PushRenamed(root + "/song.mp3", root + "/Song.mp3", 0);
                EXPECT_TRUE(saver.UndoTop());
            }},
        {"copy", "src/song.mp3", "dst/song.mp3", true, true, ops(false, false)},
        {"copy renaming", "src/song.mp3", "dst/song.mp3", true, false, ops(false, true)},
        {"move", "src/song.mp3", "dst/song.mp3", false, true, ops(true, false)},
        {"move renaming", "src/song.mp3", "dst/song.mp3", false, false, ops(true, true)},
    };
}

TEST(NeverReplace, NoWayReplacesATakenNameUnasked)
{
    for (const TWay& way : Ways()) {
        for (const TTaken kind : test::AllTaken()) {
            for (const Result answer : {Result::No, Result::Yes}) {
                if (answer == Result::Yes && !way.asks && kind != TTaken::File)
                    continue; // nothing to say yes to, beyond one check that a retry replaces nothing
                SCOPED_TRACE(std::string(way.name) + " onto " + test::TakenName(kind)
                    + (answer == Result::Yes ? ", yes" : ", no"));
                test::TempDir dir;
                const std::string root = dir.Path(), source = root + "/" + way.source, target = root + "/" + way.target;
                fs::create_directories(root + "/src");
                fs::create_directories(root + "/dst");
                dir.Write(way.source, kSong);
                TFaultLayer layer;
                test::Take(kind, source, target);
                // The name is taken just before the rename that would have been free.
                if (kind == TTaken::Appears)
                    layer.Before = [&](TCall call, const std::string& to) {
                        if (call == TCall::Rename && to == target && !fs::exists(target))
                            dir.Write(way.target, test::kOther);
                    };
                const test::TSnapshot before = test::Snapshot(root);

                test::TScriptedDialogs dialogs;
                for (int i = 0; i < 4; ++i)
                    dialogs.QueueResult(answer);
                way.run(layer, dialogs, root);

                const test::TSnapshot after = test::Snapshot(root);
                bool asked = false;
                for (const QString& text : dialogs.TextsOf("Message"))
                    asked = asked || text.contains(QStringLiteral("ersetzen?"));
                EXPECT_EQ(asked, way.asks && test::Clashes(kind)) << "the overwrite question";
                // Replaced only on yes, and then with the whole source.
                const bool replaced = asked && answer == Result::Yes && kind != TTaken::Folder;
                for (const auto& [path, node] : before) {
                    if (path == source && !way.copies)
                        continue;
                    if (path == target && replaced) {
                        EXPECT_EQ(test::ReadFile(target), kSong);
                        EXPECT_FALSE(fs::is_symlink(target));
                        continue;
                    }
                    const auto now = after.find(path);
                    ASSERT_NE(now, after.end()) << path << " is gone";
                    EXPECT_EQ(now->second, node) << path << " was replaced or changed";
                }
                if (kind == TTaken::Appears) {
                    EXPECT_EQ(test::ReadFile(target), replaced ? kSong : test::kOther) << "the file that appeared";
                }
                // The song itself is never lost.
                std::size_t songs = 0;
                for (const auto& [path, node] : after)
                    songs += node.Content == kSong && node.Type == 'f';
                EXPECT_GE(songs, 1u);
            }
        }
    }
}

} // namespace
} // namespace km
