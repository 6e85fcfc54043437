#pragma once

#include <QMenu>

class QAction;
class QStatusBar;
class StoreWriter;

// The Language submenu of the program's own menu: English as written, the
// desktop's language, German or French. The choice is stored as a
// preference and read at start, so it takes effect at the next start; no
// choice at all means English, whatever the locale.
class LanguageMenu : public QMenu
{
    Q_OBJECT

public:
    // status: where the menu says what the choice does, or why it failed.
    explicit LanguageMenu(QStatusBar *status, QWidget *parent = nullptr);

private:
    void choose(QAction *action);
    void showStored();

    QStatusBar *status;
    StoreWriter *writer;
};
