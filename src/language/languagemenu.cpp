#include "languagemenu.h"

#include "preferences.h"
#include "storedsettings.h"
#include "storewriter.h"

#include <QActionGroup>
#include <QStatusBar>

namespace {

const int MessageMs = 10000;

} // namespace

LanguageMenu::LanguageMenu(QStatusBar *status, QWidget *parent)
    : QMenu(tr("Language"), parent)
    , status(status)
    , writer(new StoreWriter(this))
{
    setObjectName(QStringLiteral("menuLanguage"));
    auto *group = new QActionGroup(this);
    // Each language by its own name, so that whoever cannot read the one
    // shown finds their own.
    const struct
    {
        QString text;
        const char *code;
    } choices[] = {
        { QStringLiteral("English"), "" },
        { tr("System language"), "system" },
        { QStringLiteral("Deutsch"), "de" },
        { QStringLiteral("Fran\u00e7ais"), "fr" },
    };
    for (const auto &choice : choices) {
        QAction *action = addAction(choice.text);
        action->setData(QString::fromLatin1(choice.code));
        action->setCheckable(true);
        group->addAction(action);
    }
    showStored();
    connect(group, &QActionGroup::triggered, this, &LanguageMenu::choose);
    connect(writer, &StoreWriter::finished, this, [this](const QString &problem) {
        if (!problem.isEmpty()) {
            showStored();
            this->status->showMessage(tr("The language could not be saved in %1: %2")
                                          .arg(StoredSettings::location(), problem),
                                      MessageMs);
            return;
        }
        // The window's texts are set once, when it is built.
        this->status->showMessage(tr("The language changes at the next start of Vantrel"),
                                  MessageMs);
    });
}

void LanguageMenu::choose(QAction *action)
{
    // Saved without waiting for another editor's lock; the answer comes
    // through the writer's finished().
    Preferences::setLanguage(*writer, action->data().toString());
}

void LanguageMenu::showStored()
{
    const QString stored = Preferences::language();
    for (QAction *action : actions())
        action->setChecked(action->data().toString() == stored);
}
