#pragma once

#include <QStringList>

// kapitolo-tool mailslot listen|send ... and kapitolo-tool options FILE.dat.
int cmdMailslot(const QStringList &args);
int cmdOptions(const QStringList &args);
