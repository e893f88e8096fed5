#pragma once

#include <QString>

namespace kapitolo {

// The computer's and the user's name as the system reports them (at most 255
// characters each); used by protocols, best lists and network reports.
QString computerName();
QString userName();

} // namespace kapitolo
