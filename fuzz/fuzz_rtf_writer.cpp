// libFuzzer target for the protocol's RTF writer: hostile text (a participant name, a
// caption, a comment) goes into the protocol window's document the way the end of a
// quiz and "Kommentar hinzufügen..." put it there, and the document is written as RTF.
// The output must stay well-formed RTF:
// - pure ASCII, one "{\rtf1" group that closes exactly at the end;
// - groups balanced, every control word one the writer may use, with a valid number;
// - "\'" followed by two hex digits, "\uN" by its one replacement character;
// - read back, the text is the document's text, character for character.
//
// The first input byte chooses how the rest becomes text: UTF-16 (lone surrogates
// included), UTF-8 or Windows-1252.

#include "platform/cp1252.h"
#include "quiz/protocol.h"
#include "quiz/rtf_writer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace kapitolo;

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &rtf)
{
    std::fprintf(stderr, "fuzz_rtf_writer: %s\n--- RTF ---\n%s\n", what, rtf.left(2000).constData());
    std::abort();
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Checks the RTF and reads its text back: paragraphs joined by "\n", \tab as a tab,
// \line as U+2028, \'hh as Windows-1252, \uN as the UTF-16 unit N. Text inside the
// font table is not document text.
QString readBack(const QByteArray &rtf)
{
    static const QSet<QByteArray> words = {"rtf",  "ansi", "ansicpg", "deff", "uc",   "fonttbl", "f",    "fswiss",
                                           "fcharset", "viewkind", "pard", "tx", "plain", "fs", "b", "i",
                                           "ul", "par", "tab", "line", "u"};
    if (!rtf.startsWith("{\\rtf1"))
        fail("no {\\rtf1 at the start", rtf);
    for (const char c : rtf)
        if (static_cast<unsigned char>(c) > 0x7E || (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n'))
            fail("a byte outside printable ASCII", rtf);

    QString text;
    int depth = 0;
    int fontTableDepth = -1;
    bool closed = false;
    qsizetype i = 0;
    const qsizetype n = rtf.size();
    auto append = [&](QChar c) {
        if (fontTableDepth < 0)
            text += c;
    };
    while (i < n) {
        const char c = rtf.at(i);
        if (closed) {
            if (c != '\r' && c != '\n')
                fail("text after the closing brace", rtf);
            ++i;
            continue;
        }
        if (c == '{') {
            ++depth;
            ++i;
        } else if (c == '}') {
            if (depth == fontTableDepth)
                fontTableDepth = -1;
            if (--depth < 0)
                fail("a closing brace too many", rtf);
            if (depth == 0)
                closed = true;
            ++i;
        } else if (c == '\r' || c == '\n') {
            ++i; // line breaks of the file are no text
        } else if (c != '\\') {
            if (depth == 0)
                fail("text outside the document group", rtf);
            append(QLatin1Char(c));
            ++i;
        } else {
            if (++i >= n)
                fail("a backslash at the end", rtf);
            const char s = rtf.at(i);
            if (s == '\\' || s == '{' || s == '}') {
                append(QLatin1Char(s));
                ++i;
            } else if (s == '\'') {
                if (i + 2 >= n || hexValue(rtf.at(i + 1)) < 0 || hexValue(rtf.at(i + 2)) < 0)
                    fail("\\' without two hex digits", rtf);
                const char byte = char(hexValue(rtf.at(i + 1)) * 16 + hexValue(rtf.at(i + 2)));
                if (static_cast<unsigned char>(byte) < 0x80)
                    fail("\\' for a character that needs no escape", rtf);
                append(fromCp1252(&byte, 1).at(0));
                i += 3;
            } else if (isLetter(s)) {
                qsizetype end = i;
                while (end < n && isLetter(rtf.at(end)))
                    ++end;
                const QByteArray word = rtf.mid(i, end - i);
                if (!words.contains(word))
                    fail("an unknown control word", rtf);
                bool hasNumber = false;
                qint64 number = 0;
                qsizetype numberStart = end;
                if (end < n && rtf.at(end) == '-')
                    ++end;
                while (end < n && isDigit(rtf.at(end))) {
                    hasNumber = true;
                    number = number * 10 + (rtf.at(end) - '0');
                    if (end - numberStart > 10)
                        fail("a control word's number is too long", rtf);
                    ++end;
                }
                if (!hasNumber && end != numberStart)
                    fail("a minus without digits", rtf);
                if (rtf.at(numberStart) == '-')
                    number = -number;
                if (end < n && rtf.at(end) == ' ')
                    ++end; // the delimiter belongs to the control word
                i = end;
                if (word == "fonttbl")
                    fontTableDepth = depth;
                else if (word == "par")
                    append(QLatin1Char('\n'));
                else if (word == "tab")
                    append(QLatin1Char('\t'));
                else if (word == "line")
                    append(QChar(QChar::LineSeparator));
                else if (word == "u") {
                    if (!hasNumber || number < -32768 || number > 32767)
                        fail("\\u without a 16-bit number", rtf);
                    // \uc1: one character follows that older readers show instead.
                    if (i >= n || rtf.at(i) != '?')
                        fail("\\u without its replacement character", rtf);
                    ++i;
                    append(QChar(char16_t(quint16(qint16(number)))));
                } else if ((word == "rtf" || word == "ansicpg" || word == "fs" || word == "tx" || word == "f"
                            || word == "deff" || word == "uc" || word == "fcharset" || word == "viewkind")
                           && (!hasNumber || number < 0)) {
                    fail("a control word without its number", rtf);
                }
            } else {
                fail("an unknown control symbol", rtf);
            }
        }
    }
    if (!closed)
        fail("the document group is not closed", rtf);
    return text;
}

// The document's text as the writer should carry it: blocks joined by "\n", control
// characters other than the tab left out.
QString documentText(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (const QChar c : block.text()) {
            const char16_t u = c.unicode();
            if (u == '\t' || u == QChar::LineSeparator || (u >= 0x20 && u != 0x7F))
                text += c;
        }
        if (block.next().isValid())
            text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit it would outlive the libraries it needs.
    new QGuiApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 64 * 1024)
        return 0;
    const auto *bytes = reinterpret_cast<const char *>(data) + 1;
    const qsizetype length = qsizetype(size) - 1;
    QString hostile;
    switch (data[0] % 3) {
    case 0: hostile = QString(reinterpret_cast<const QChar *>(bytes), length / 2); break;
    case 1: hostile = QString::fromUtf8(bytes, length); break;
    default: hostile = fromCp1252(bytes, length); break;
    }

    // The summary of a quiz with the hostile name, then a comment made of it.
    QTextDocument document;
    FillProtocolView(document,
                     QStringLiteral("<tit>Quiz-Protokoll\r\nTeilnehmername:\t") + hostile
                         + QStringLiteral("\r\n\r\n<tit>Detaillierter Ablauf\r\n00:05 - RICHTIG - ") + hostile
                         + QStringLiteral("\r\n"),
                     true);
    FillProtocolView(document, QStringLiteral("\r\n<tit>Kommentar\r\n") + hostile, false);

    const QByteArray rtf = writeRtf(document);
    const QString back = readBack(rtf);
    if (back != documentText(document))
        fail("the text read back differs from the document's text", rtf);

    // The escape alone, as used for single values.
    const QByteArray escaped = rtfEscape(hostile);
    QTextDocument plain;
    plain.setPlainText(hostile);
    (void)readBack("{\\rtf1 " + escaped + "}");
    return 0;
}
