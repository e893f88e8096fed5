#pragma once

#include <QString>

namespace kapitolo {

// The computer's and the user's name as the system reports them (at most 255
// characters each); used by protocols, best lists and network reports.
QString computerName();
QString userName();

// The soft limit of open files (descriptors) of this process; -1 when unknown.
int openFileLimit();
// Raises the soft limit towards the hard one, to at most `wanted`; returns the new soft
// limit. A desktop session starts programs with 1,024, which a classroom's browsers
// and a few scripts can use up.
int raiseOpenFileLimit(int wanted);
// The descriptors this process holds now; -1 when unknown.
int openDescriptorCount();

} // namespace kapitolo
