#pragma once

namespace kapitolo {

class TForm1;

// The settings between the store and the window: the checks of "&Optionen", the learning
// view and the quiz options, read at the first showing and written when the window closes.
void readWindowSettings(TForm1 &window);
// The option dialogs take the settings read (when they are created after the reading).
void loadDialogSettings(TForm1 &window);
void writeWindowSettings(TForm1 &window);
// The window's controls into its settings (also before a protocol is saved).
void takeSettingsFromWindow(TForm1 &window);

} // namespace kapitolo
