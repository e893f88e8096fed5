// kapitolo-tool worksheet: a topic's worksheet, solution sheet or overlay as a file.

#include "document/document_file.h"
#include "sharing/sheet_builder.h"
#include "sharing/sheet_output.h"
#include "tool_common.h"

#include <QStringList>

#include <cstdio>

using namespace kapitolo;

// Builds the sheet with the window's defaults, changed by the flags, and writes it in
// the format of the output's extension. Returns 2 for a wrong call, 1 when the
// document cannot be read or the file not written.
int cmdWorksheet(const QStringList &args)
{
    QStringList files;
    SheetOptions options;
    bool titleGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QLatin1String("--kind") && hasValue) {
            const QString kind = args.at(++i).toLower();
            if (kind == QLatin1String("arbeitsblatt"))
                options.kind = skWorksheet;
            else if (kind == QLatin1String("loesung") || kind == QLatin1String("lösung"))
                options.kind = skSolutionSheet;
            else if (kind == QLatin1String("folie"))
                options.kind = skOverlay;
            else
                options.kind = kind.toInt(&ok);
            ok = ok && options.kind >= skWorksheet && options.kind <= skOverlay;
        } else if (a == QLatin1String("--from") && hasValue) {
            options.fromQuestion = args.at(++i).toInt(&ok);
            ok = ok && options.fromQuestion >= 1 && options.fromQuestion <= 99999;
        } else if (a == QLatin1String("--title") && hasValue) {
            options.title = args.at(++i);
            titleGiven = true;
        } else if (a == QLatin1String("--task") && hasValue) {
            options.task = args.at(++i);
        } else if (a == QLatin1String("--no-name")) {
            options.nameField = false;
        } else if (a == QLatin1String("--no-class")) {
            options.classField = false;
        } else if (a == QLatin1String("--no-date")) {
            options.dateField = false;
        } else if (a == QLatin1String("--no-answers")) {
            options.answerTexts = false;
        } else if (a.startsWith(QLatin1String("--"))) {
            ok = false;
        } else {
            files << a;
        }
        if (!ok) {
            printErr(QStringLiteral("Ungültige Angabe bei ") + a);
            return 2;
        }
    }
    if (files.size() != 2)
        return 2;
    if (sheetFormatForName(files.at(1)) == SheetFormat::None) {
        printErr(invalidExtensionText());
        return 2;
    }

    StderrMessages messages;
    TopicDocument document;
    TopicNavigation navigation;
    if (readDocument(files.at(0), document, navigation, messages) != ReadResult::Ok)
        return 1;
    if (!titleGiven)
        options.title = document.titel;
    const SheetPicture sheet = BuildSheet(document, options);
    if (!SaveSheetFile(sheet, files.at(1), messages))
        return 1;
    // A teacher's loop over a long question list goes on from here.
    if (sheet.nextQuestion > 0)
        std::printf("weiter mit --from %d\n", sheet.nextQuestion);
    return 0;
}
