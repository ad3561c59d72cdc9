// Captions fitted to their places. The window's places were measured for its English
// captions; a translation can be longer, and a face can be wider than the one they
// were measured with (Tahoma, where Windows has it, is wider than the condensed face
// taken elsewhere). Such a caption is set in a narrower width of its own font, just
// narrow enough, down to three quarters of its width; the places stay as they are.
#pragma once

class QWidget;

namespace bv::shell {

// How many pixels the caption of a button or label needs beyond its width (0 when it
// fits, or for any other control).
int CaptionOverflow(const QWidget& control);

// Narrows the font of each button and label below `window` whose caption overflows.
void FitCaptions(QWidget& window);

}  // namespace bv::shell
