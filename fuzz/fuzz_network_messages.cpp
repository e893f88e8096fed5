// libFuzzer target for what arrives over the network: every input is one datagram for
// the teacher's mailslot (header check, strict report parsing, bookkeeping) and also an
// option file for the pupil's reader. Nothing may crash, and a report may only ever
// change the row of a key that announced itself.

#include "network/control_board.h"
#include "network/exchange_files.h"
#include "network/mailslot.h"
#include "network/network_reports.h"

#include <cstdint>
#include <cstdlib>

using namespace kapitolo;

namespace {

const QString kKey = QStringLiteral("FUZZFUZZFUZZFUZZFUZZFUZZFUZZFU");

QString initReport()
{
    return initReportLines(kKey, QString(), 46000.5).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    ControlBoard board;
    board.handleReport(QStringLiteral("PC"), QStringLiteral("u"), initReport(), 46000.5);
    MailslotMessage message;
    if (decodeMailslotMessage(bytes, message)) {
        const ControlBoard::Outcome outcome = board.handleReport(message.computer, message.userName, message.text, 1);
        NetworkReport report;
        const bool parsed = parseNetworkReport(message.text, report);
        // Accepted exactly when it parses and its key is known or it announces a new one.
        if (outcome.accepted != (parsed && (report.key == kKey || report.kind == NetworkReport::Kind::Init)))
            std::abort();
        if (board.rowCount() > 2 || board.acceptedCount() + board.discardedCount() != 2)
            std::abort();
        if (outcome.bestListEntry && (outcome.bestListEntry->performance < 0 || outcome.bestListEntry->performance > 1))
            std::abort();
    }

    NetworkOptionFile options;
    if (decodeOptionFile(bytes, options) && (options.timeLimitSeconds < 0 || options.queryMode > 2))
        std::abort();
    return 0;
}
