#pragma once

#include <QLocale>

namespace kapitolo {

// Dates, numbers and sorting are German whatever the process locale is.
inline QLocale germanLocale()
{
    return QLocale(QLocale::German, QLocale::Germany);
}

} // namespace kapitolo
