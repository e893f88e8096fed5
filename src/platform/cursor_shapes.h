#pragma once

#include <Qt>

#include <array>

namespace kapitolo {

// The program's own cursors: 32 x 32 pictures in data/cursors/NAME.png of the program
// folder. The hot spots live here, next to nothing else, because the resource generator
// draws each picture around its hot spot and the program sets the cursor with it.
struct NamedCursorInfo {
    const char *name;
    int hotX;
    int hotY;
    Qt::CursorShape fallback; // used when the picture is missing or unreadable
};

constexpr int kNamedCursorSize = 32;

constexpr std::array<NamedCursorInfo, 9> kNamedCursors{{
    {"STIFT5", 2, 29, Qt::CrossCursor},       // pen: the tip
    {"MARKER25", 3, 28, Qt::CrossCursor},     // marker: the middle of the chisel tip
    {"RADIER32", 16, 16, Qt::CrossCursor},    // eraser: the centre of the 32 x 32 square it clears
    {"PFEILMOVE", 16, 16, Qt::SizeAllCursor}, // move handle: where the four arrows meet
    {"HAEKCHEN", 11, 15, Qt::CrossCursor},    // tick: the stamp lands centred 5 px right of it
    {"KREUZ", 15, 16, Qt::CrossCursor},       // cross: the stamp lands centred 1 px right of it
    {"TEXTEINGABE", 15, 25, Qt::IBeamCursor}, // text: the foot of the beam, where the line of text sits
    {"HAND", 16, 16, Qt::OpenHandCursor},     // panning hand: the palm
    {"DRAGBLACK", 2, 2, Qt::DragMoveCursor},  // dragging a tile: the arrow's tip
}};

} // namespace kapitolo
