// A subsystem's commands tested on their own: a bare window with a file list,
// the command table and the context, but no main window.
#pragma once

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "support/dialogwatch.h"
#include "support/recordingshell.h"
#include "support/scripteddialogs.h"
#include "ui/commandtable.h"
#include "ui/icons.h"

#include <QAction>
#include <QTreeView>
#include <QWidget>

#include <gtest/gtest.h>

namespace km::test {

class CommandTest : public ::testing::Test {
protected:
    CommandTest() { list->setModel(&model); }
    void SetUp() override { Icons::UseIconTheme(); }

    // A command as the user reaches it: with the state its update handler gives it.
    void Trigger(const char* name)
    {
        commands.Refresh();
        commands.Action(QLatin1String(name))->trigger();
    }
    void WhenDialogShows(std::function<void(QDialog*)> answer) { AnswerWhenShown(&window, std::move(answer)); }

    TScriptedDialogs dialogs;
    TRecordingShell shell;
    QWidget window;
    TListModel model;
    QTreeView* list = new QTreeView(&window);
    TCommandTable commands {&window};
    TFileList files {list, model};
    TCommandContext context {commands, dialogs, shell, files, &window};
};

} // namespace km::test
