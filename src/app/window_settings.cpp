#include "app/window_settings.h"

#include "app/main_window.h"
#include "platform/settings_store.h"
#include "quiz/quiz_option_forms.h"

#include <QAction>

namespace kapitolo {

namespace {

void applySettingsToWindow(TForm1 &window)
{
    AppSettings &settings = window.settings();
    window.findMenuAction(QStringLiteral("Sound1"))->setChecked(settings.sound);
    window.findMenuAction(QStringLiteral("OptNameEingabe1"))->setChecked(settings.nameEntry);
    window.findMenuAction(QStringLiteral("AutoProtSpeichern1"))->setChecked(settings.autoSaveProtocol);
    window.findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->setChecked(settings.autoBestListEntry);
    window.SetLearningViewShown(settings.learningView);
    loadDialogSettings(window);
}

} // namespace

void loadDialogSettings(TForm1 &window)
{
    const AppSettings &settings = window.settings();
    if (window.quiz().uebOptForm())
        window.quiz().uebOptForm()->loadFrom(settings);
    if (window.quiz().uebOptFragenForm())
        window.quiz().uebOptFragenForm()->loadFrom(settings);
}

void readWindowSettings(TForm1 &window)
{
    window.settings().read(window.services().settings);
    applySettingsToWindow(window);
}

void takeSettingsFromWindow(TForm1 &window)
{
    AppSettings &settings = window.settings();
    settings.sound = window.findMenuAction(QStringLiteral("Sound1"))->isChecked();
    settings.nameEntry = window.findMenuAction(QStringLiteral("OptNameEingabe1"))->isChecked();
    settings.autoSaveProtocol = window.findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked();
    settings.autoBestListEntry = window.findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->isChecked();
    settings.learningView = window.learningViewShown();
    if (window.quiz().uebOptForm())
        window.quiz().uebOptForm()->storeTo(settings);
    if (window.quiz().uebOptFragenForm())
        window.quiz().uebOptFragenForm()->storeTo(settings);
}

void writeWindowSettings(TForm1 &window)
{
    takeSettingsFromWindow(window);
    window.settings().write(window.services().settings);
    window.services().settings.sync();
}

} // namespace kapitolo
