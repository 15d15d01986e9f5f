// Starts the real main window against a temporary settings folder and music.
#pragma once

#include "ui/icons.h"
#include "ui/commandtable.h"
#include "browse/listmodel.h"
#include "app/form1.h"
#include "platform/charset.h"
#include "support/dialogwatch.h"
#include "support/recordingshell.h"
#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace km::test {

// One small MP3 file: a frame header, some audio bytes, an ID3v1 block.
inline Bytes Song(std::string_view title, std::string_view artist = "", std::string_view album = "",
    std::string_view year = "", std::uint8_t track = 0, std::size_t audio = 4000)
{
    return Cat({Header(), Fill(audio, 0x11), V1(title, artist, album, year, "", track, 255)});
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_hadConfig = old != nullptr;
        m_oldConfig = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", (dir.Path() + "/config").c_str(), 1);
        music = dir.Path() + "/musik/";
        std::filesystem::create_directories(music);
        // The pictures the program shows, from the same theme as at a real start.
        Icons::UseIconTheme();
    }

    void TearDown() override
    {
        window.reset();
        SetID3v1Charset(Charsets[0]); // the window sets it from the settings; nothing after may see it
        if (m_hadConfig)
            ::setenv("XDG_CONFIG_HOME", m_oldConfig.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

    std::string Put(const std::string& relative, const Bytes& bytes) const
    {
        const std::filesystem::path p = std::filesystem::path(dir.Path()) / relative;
        std::filesystem::create_directories(p.parent_path());
        return dir.Write(relative, bytes);
    }

    // Creates and shows the window, and waits for the first scan to end.
    void Start(const QStringList& arguments)
    {
        window = std::make_unique<TForm1>(dialogs, shell, arguments);
        finished = std::make_unique<QSignalSpy>(window.get(), &TForm1::ScanFinished);
        window->show();
        WaitScans(1);
    }

    void WaitScans(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished->count() >= count && !window->ScanRunning(); }, 10000))
            << "the scan did not end";
        Idle();
    }

    // What the event loop does when it falls idle: the commands refresh their state.
    void Idle() const
    {
        QCoreApplication::processEvents();
        window->Commands().Refresh();
    }

    // A command as the user reaches it: with the state its update handler gives it.
    void Trigger(const char* name) const
    {
        Idle();
        Action(name)->trigger();
    }

    template <typename T>
    T* Child(const char* name) const
    {
        T* child = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QString Text(const char* label) const { return Child<QLabel>(label)->text(); }
    QTreeView* List() const { return Child<QTreeView>("ListView1"); }
    TListModel& Model() const { return window->Model(); }

    // The file names of the rows, in display order.
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> names;
        for (int r = 0; r < Model().rowCount(); ++r)
            names.push_back(Model().Entry(r)->FileName);
        return names;
    }

    std::vector<int> SelectedRows() const
    {
        std::vector<int> rows;
        for (const QModelIndex& i : List()->selectionModel()->selectedRows())
            rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QAction* Action(const char* name) const { return Child<QAction>(name); }

    // A modal dialog of the program's own is answered once it shows.
    void WhenDialogShows(std::function<void(QDialog*)> answer) { AnswerWhenShown(window.get(), std::move(answer)); }

    TempDir dir;
    std::string music;
    TScriptedDialogs dialogs;
    TRecordingShell shell;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<QSignalSpy> finished;

private:
    bool m_hadConfig = false;
    std::string m_oldConfig;
};

} // namespace km::test
