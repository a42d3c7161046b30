#pragma once

// The window's design: every control with its container, caption and place in twips.
namespace layout {

enum class Kind { Frame, Label, Text, Memo, Combo, Button, Check, Option };
enum class Font { Base, FrameCaption, Label, Box, Apply, Bulk, Open, Song, SongBold, Colon };

struct Control {
    const char* name;
    Kind kind;
    const char* parent;   // nullptr: the window itself
    const char* caption;
    int left, top, width, height;   // twips, relative to the container
    Font font;
};

extern const Control kControls[];
extern const int kControlCount;

constexpr int kClientWidth = 11295;
constexpr int kClientHeight = 8775;

// 1440 twips an inch, 96 px an inch at 100 %: 15 twips a pixel. Qt scales beyond.
constexpr int px(int twips) { return (twips + 7) / 15; }

}  // namespace layout
