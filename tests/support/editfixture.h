// The main window with its edit panel, and the tag a file holds on disk.
#pragma once

#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "support/windowfixture.h"
#include "tags/id3v2reader.h"

#include <QComboBox>
#include <QLineEdit>

#include <fcntl.h>
#include <sys/stat.h>

namespace km::test {

class EditTest : public WindowTest {
protected:
    TEditFields* Fields() const { return Child<TEditFields>("Panel6"); }
    QLineEdit* Edit(const char* name) const { return Child<QLineEdit>(name); }

    // The ID3v1 fields as the file holds them now.
    TID3v1Infos OnDisk(const std::string& name) const
    {
        TID3v2Reader reader;
        reader.FileName = music + name;
        reader.ReadTags();
        return reader.ID3v1;
    }

    static std::int64_t MTime(const std::string& path)
    {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    }

    void SetMTime(const std::string& path, long seconds)
    {
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    void SelectRows(std::initializer_list<int> rows)
    {
        QItemSelection selection;
        for (int r : rows)
            selection.select(Model().index(r, 0), Model().index(r, Model().columnCount() - 1));
        List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    int RowOf(const std::string& name) const
    {
        for (int r = 0; r < Model().rowCount(); ++r)
            if (Model().Entry(r)->FileName == name)
                return r;
        return -1;
    }

    // Replaces a field's text as typing would.
    void Type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        // One key event a character, carrying the character itself, umlauts included.
        for (const QChar c : text) {
            const Qt::Key key = c.isDigit() ? Qt::Key(Qt::Key_0 + c.digitValue())
                : c.isLetter() && c.unicode() < 128 ? Qt::Key(Qt::Key_A + c.toUpper().unicode() - 'A')
                                                    : Qt::Key_unknown;
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &release);
        }
    }

    void Activate()
    {
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 1000));
    }
};

} // namespace km::test
