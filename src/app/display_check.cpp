#include "app/display_check.h"

namespace kapitolo {

std::optional<QString> displayWarning(const ScreenProperties &s)
{
    // The text asks for 1024 x 768 and 16 bits, but only a screen below 960 x 700 or
    // 15 bits is warned about, so that common laptop screens start without a question.
    if (s.width >= 960 && s.height >= 700 && s.depth >= 15)
        return std::nullopt;
    return QStringLiteral("Ungeeigneter Grafikmodus! (Windows-Systemsteuerung / Eigenschaften von Anzeige)\r\n\r\n"
                          "Für dieses Programm sollte ein Grafikmodus mit einer Auflösung von mindestens "
                          "1024 x 768 Pixel (Bildpunkte) und einer Farbtiefe von mindestens 16 Bit (High Color) "
                          "eingestellt sein. \r\nAktuelle Einstellungen:\r\n- Auflösung: ")
        + QString::number(s.width) + QStringLiteral(" x ") + QString::number(s.height) + QStringLiteral(" Pixel")
        + QStringLiteral("\r\n") + QStringLiteral("- Farbtiefe: ") + QString::number(s.depth) + QStringLiteral(" Bit")
        + QStringLiteral("\r\n") + QStringLiteral("\r\n") + QStringLiteral("Programm trotzdem starten?");
}

} // namespace kapitolo
