#pragma once

namespace kapitolo {

// Screen readers learn of the quiz panel's targets (drawn on the card, not widgets of
// their own) as children of the panel, named "Ziel" with their number and state, and of
// the answer tiles as buttons. Installed once; later calls do nothing.
void installQuizAccessibility();

} // namespace kapitolo
