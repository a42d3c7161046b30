#pragma once
#include <QFont>
#include <QGroupBox>

class QStyle;

namespace look {

// The window's Song face, 9 pt captions in PORT-SET and the monitor among them. Where SimSun is
// missing (any Linux desktop), the face that stands in is fitted to SimSun's metrics: its Latin
// letters half an em wide, so that captions end where the layout expects them; and it is drawn
// without smoothing, crisp as SimSun's own bitmaps, not in the thin grey strokes that made an
// enabled box look disabled.
QFont songFont(double points, bool bold = false);

// The same face stretched so that its Latin letters are half an em wide on average, as SimSun's
// are; a face that already is (AR PL UMing) is returned as it is.
QFont fittedToHalfEm(QFont font);

// The average width of a Latin character of the face, in pixels.
double latinAdvance(const QFont& font);

// Text from a tracker, a profile or the system, for a tooltip: Qt takes a tooltip that looks like
// markup for markup, so such a text is handed over as markup that shows it as it is; any other
// stays as it is.
QString plainTip(const QString& text);

// Whether the face the font is drawn in has a bold of its own (Liberation Serif has; the Song
// faces have not, and are made bold by striking them twice).
bool hasBoldFace(const QFont& font);

// A frame as the window draws it: an etched border whose top line runs through the middle of the
// caption, so that the frame's first row, placed just under the caption, stays clear of the border
// (the platform's group box draws the caption above the border, and the border through that row).
class FrameBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

    // Where the caption is drawn, in the frame's own coordinates.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Option buttons and check boxes with their caption as close to the indicator as the layout was
// drawn for: the platform style leaves 6 px, which pushes short captions ("Low", "Min") into the
// next control. Owned by `owner`.
QStyle* controlStyle(QObject* owner);

}  // namespace look
