#pragma once

#include <QString>

namespace kapitolo {

// What may become of a link object's caption. A topic document is text that anybody
// could have written, and the desktop's "open" would just as well start a program, a
// script or a launcher: only Internet and e-mail addresses and existing files of
// ordinary document types are handed to the shell.
struct LinkDecision {
    enum Kind { Open, Refused, Missing } kind = Missing;
    QString target;  // Open: the address, or the file's full path
    QString message; // Refused: why, in German, for the user
};

// A relative file link is resolved against the document's folder, never the working
// directory; a Windows path ("bilder\\karte.pdf") works as well.
LinkDecision CheckLink(const QString &caption, const QString &documentFolder);

// The file at the path, its name compared without regard to case when it does not
// exist as written (documents come from Windows); empty when there is none.
QString existingFileIgnoringCase(const QString &path);

} // namespace kapitolo
