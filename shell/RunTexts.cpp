#include "shell/RunTexts.h"

#include <QCoreApplication>
#include <QStringList>

#include "summary/RunSummary.h"

namespace bv::shell {

namespace {

// The summary's lines in the person's language (the English line when there is no
// translation of it).
const summary::Words kWords = [](const char* english) {
    return QCoreApplication::translate("Completion", english).toStdString();
};


}  // namespace

CompletionBoxText CompletionBox(const conversion::RunReport& report, bool pstRun) {
    // Cut at the first blank line: the lead for the box, the lists below it for the
    // box's details area.
    const QString text = QString::fromStdString(summary::CompletionText(report, pstRun, false, kWords));
    CompletionBoxText box;
    const qsizetype blank = text.indexOf(QStringLiteral("\r\n\r\n"));
    box.lead = blank < 0 ? text : text.left(blank);
    if (blank >= 0) box.lists = text.mid(blank + 4);
    const QString counts = QString::fromStdString(summary::FolderCountsText(report, "\r\n", kWords));
    if (!counts.isEmpty()) box.lists += (box.lists.isEmpty() ? QString() : QStringLiteral("\r\n")) + counts;
    box.clean = report.failures.empty() && report.warnings.empty();
    return box;
}

QString StoreErrorBox(const conversion::RunReport& report) {
    return QString::fromStdString(summary::StoreErrorText(report.endedBy ? report.endedBy->reason : "", kWords));
}

QString InputResultText(const conversion::RunReport& report, const QString& listedPath) {
    const auto found = report.inputResults.find(listedPath.trimmed().toStdString());
    if (found == report.inputResults.end())
        return report.stopped || report.endedBy ? Translated("not reached") : QString();
    const conversion::InputResult& r = found->second;
    QStringList parts;
    if (r.passedOver) parts << Translated("passed over");
    if (r.converted > 0) parts << Translated("%1 converted").arg(r.converted);
    if (r.alreadyThere > 0) parts << Translated("%1 already there").arg(r.alreadyThere);
    if (r.failed > 0) parts << Translated("%1 not converted").arg(r.failed);
    if (!r.problem.empty()) parts << Translated("failed: %1").arg(QString::fromStdString(r.problem));
    if (parts.isEmpty()) parts << Translated("nothing in it");
    return parts.join(QStringLiteral(", "));
}

QString Translated(const char* english) { return QCoreApplication::translate("frmStep1", english); }
QString Translated(const QString& english) { return Translated(english.toUtf8().constData()); }

}  // namespace bv::shell
