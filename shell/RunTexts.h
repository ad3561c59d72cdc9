// What the window says of a finished run, in the person's language: the completion
// box's lead and lists, the store error, and the result column of each listed file.
// The run reports facts; summary/RunSummary words them, each line through the
// window's translations.
#pragma once
#include <QString>

#include "conversion/ConversionRun.h"

namespace bv::shell {

// A text of the window in the person's language (the English text when there is no
// translation of it).
QString Translated(const char* english);
QString Translated(const QString& english);

// The completion box: the summary as its text, the long lists (failures, warnings,
// messages per folder) for its details area.
struct CompletionBoxText {
    QString lead;
    QString lists;
    bool clean = true;  // nothing failed, nothing converted with a loss
};
CompletionBoxText CompletionBox(const conversion::RunReport& report, bool pstRun);

// The box shown when a store could not be opened: its cause, and that the run stopped.
QString StoreErrorBox(const conversion::RunReport& report);

// The result column's text for a listed file (as listed): what the run made of it, or
// "not reached" when the run ended before it.
QString InputResultText(const conversion::RunReport& report, const QString& listedPath);

}  // namespace bv::shell
