#pragma once

#include <QString>

namespace kapitolo {

// Texts and addresses of the build.
inline QString programTitle() { return QStringLiteral("Ostrabel Kapitolo"); }
inline QString programVersionText() { return QStringLiteral("Version 1.2.2009.06.29"); }
inline QString programWebAddress() { return QStringLiteral("https://www.ostrabel.de/kapitolo/"); }
inline QString makerWebAddress() { return QStringLiteral("https://www.ostrabel.de/"); }
} // namespace kapitolo
