#include "shell/CaptionFit.h"

#include <QAbstractButton>
#include <QFont>
#include <QLabel>
#include <QWidget>
#include <algorithm>

namespace bv::shell {

namespace {

bool HasCaption(const QWidget& control) {
    if (auto* b = qobject_cast<const QAbstractButton*>(&control)) return !b->text().isEmpty();
    if (auto* l = qobject_cast<const QLabel*>(&control)) return !l->text().isEmpty();
    return false;
}

}  // namespace

int CaptionOverflow(const QWidget& control) {
    if (!HasCaption(control)) return 0;
    return std::max(0, control.sizeHint().width() - control.width());
}

void FitCaptions(QWidget& window) {
    constexpr int kStep = 3;  // percent of the font's width
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (CaptionOverflow(*control) == 0) continue;
        QFont font = control->font();
        const int natural = font.stretch() == QFont::AnyStretch ? int(QFont::Unstretched) : font.stretch();
        for (int stretch = natural - kStep; stretch >= natural * 3 / 4; stretch -= kStep) {
            font.setStretch(stretch);
            control->setFont(font);
            if (CaptionOverflow(*control) == 0) break;
        }
    }
}

}  // namespace bv::shell
