#pragma once

#include "platform/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace km {

// The real dialogs: Qt message boxes, input box, file and folder dialogs,
// all with German button texts whether or not a translation is installed.
// A message box's `defaultButton` is one of the Button flags; 0, or a flag
// the box does not carry, makes the first button the default.
class TQtDialogs : public TDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr);

    // The window the dialogs are centred on and modal to.
    void SetParent(QWidget* parent);

    Result Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton = 0) override;
    void ShowError(const QString& text) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString SaveFileName(const QString& caption, const QString& startPath, const QString& filter) override;
    QString FolderName(const QString& caption, const QString& startFolder) override;
    void Beep() override;

private:
    QPointer<QWidget> m_parent;
};

// The title every message box carries: the application's display name.
QString MessageBoxTitle();

} // namespace km
