#include "view/link_safety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace kapitolo {

namespace {

// What a pupil's desktop opens in a viewer, a browser or an office program.
const QStringList kDocumentSuffixes = {
    QStringLiteral("pdf"),  QStringLiteral("txt"),  QStringLiteral("rtf"),  QStringLiteral("doc"),
    QStringLiteral("docx"), QStringLiteral("odt"),  QStringLiteral("xls"),  QStringLiteral("xlsx"),
    QStringLiteral("ods"),  QStringLiteral("csv"),  QStringLiteral("ppt"),  QStringLiteral("pptx"),
    QStringLiteral("pps"),  QStringLiteral("ppsx"), QStringLiteral("odp"),  QStringLiteral("odg"),
    QStringLiteral("epub"), QStringLiteral("htm"),  QStringLiteral("html"), QStringLiteral("png"),
    QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("gif"),  QStringLiteral("bmp"),
    QStringLiteral("tif"),  QStringLiteral("tiff"), QStringLiteral("svg"),  QStringLiteral("webp"),
    QStringLiteral("mp3"),  QStringLiteral("wav"),  QStringLiteral("ogg"),  QStringLiteral("oga"),
    QStringLiteral("flac"), QStringLiteral("m4a"),  QStringLiteral("mp4"),  QStringLiteral("m4v"),
    QStringLiteral("webm"), QStringLiteral("ogv"),  QStringLiteral("avi"),  QStringLiteral("mkv"),
    QStringLiteral("mov"),  QStringLiteral("mpg"),  QStringLiteral("mpeg"),
};

// Names under which a desktop runs or installs something, whatever the file holds.
const QStringList kLaunchingSuffixes = {
    QStringLiteral("desktop"), QStringLiteral("sh"),       QStringLiteral("bash"),    QStringLiteral("zsh"),
    QStringLiteral("csh"),     QStringLiteral("ksh"),      QStringLiteral("py"),      QStringLiteral("pyw"),
    QStringLiteral("pl"),      QStringLiteral("rb"),       QStringLiteral("php"),     QStringLiteral("lua"),
    QStringLiteral("tcl"),     QStringLiteral("js"),       QStringLiteral("jar"),     QStringLiteral("exe"),
    QStringLiteral("com"),     QStringLiteral("bat"),      QStringLiteral("cmd"),     QStringLiteral("msi"),
    QStringLiteral("msp"),     QStringLiteral("scr"),      QStringLiteral("pif"),     QStringLiteral("vbs"),
    QStringLiteral("vbe"),     QStringLiteral("wsf"),      QStringLiteral("ps1"),     QStringLiteral("hta"),
    QStringLiteral("cpl"),     QStringLiteral("reg"),      QStringLiteral("lnk"),     QStringLiteral("url"),
    QStringLiteral("deb"),     QStringLiteral("rpm"),      QStringLiteral("apk"),     QStringLiteral("appimage"),
    QStringLiteral("run"),     QStringLiteral("bin"),      QStringLiteral("snap"),    QStringLiteral("flatpak"),
    QStringLiteral("flatpakref"), QStringLiteral("dmg"),   QStringLiteral("pkg"),     QStringLiteral("so"),
};

// Contents a desktop would run even under a harmless name.
const QStringList kLaunchingMimeTypes = {
    QStringLiteral("application/x-executable"),        QStringLiteral("application/x-sharedlib"),
    QStringLiteral("application/x-pie-executable"),    QStringLiteral("application/x-desktop"),
    QStringLiteral("application/x-shellscript"),       QStringLiteral("application/x-ms-dos-executable"),
    QStringLiteral("application/x-msdownload"),        QStringLiteral("application/x-msi"),
    QStringLiteral("application/vnd.debian.binary-package"), QStringLiteral("application/x-rpm"),
    QStringLiteral("application/java-archive"),
};

QString refusal(const QString &caption, const QString &reason)
{
    return QStringLiteral("Der Verweis \"") + caption + QStringLiteral("\" wird aus Sicherheitsgründen nicht geöffnet.\r\n")
        + reason;
}

QString launchingReason()
{
    return QStringLiteral("Programme, Skripte, Installationspakete und Programmstarter werden aus Themendokumenten "
                          "heraus nicht gestartet.");
}

QString typeReason()
{
    return QStringLiteral("Aus Themendokumenten heraus werden nur Dokumente, Bilder, Ton- und Videodateien geöffnet.");
}

QString schemeReason()
{
    return QStringLiteral("Aus Themendokumenten heraus werden nur Internet-Adressen (http, https), E-Mail-Adressen "
                          "(mailto) und Dokumentdateien geöffnet.");
}

bool launchingContent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    if (head.startsWith("#!") || head.startsWith("\x7f" "ELF") || head.startsWith("MZ"))
        return true;
    const QMimeType type = QMimeDatabase().mimeTypeForData(head);
    for (const QString &name : kLaunchingMimeTypes)
        if (type.inherits(name))
            return true;
    return false;
}

LinkDecision decideFile(const QString &caption, const QString &path)
{
    LinkDecision d;
    const QString found = existingFileIgnoringCase(path);
    if (found.isEmpty()) {
        if (QFileInfo(path).isDir()) {
            d.kind = LinkDecision::Refused;
            d.message = refusal(caption, typeReason());
        }
        return d;
    }
    // A link may point elsewhere: the file that would be opened decides.
    const QFileInfo info(QFileInfo(found).canonicalFilePath());
    const QString suffix = info.suffix().toLower();
    const QFile::Permissions run = QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    d.kind = LinkDecision::Refused;
    if ((info.permissions() & run) || kLaunchingSuffixes.contains(suffix) || launchingContent(info.filePath()))
        d.message = refusal(caption, launchingReason());
    else if (!kDocumentSuffixes.contains(suffix))
        d.message = refusal(caption, typeReason());
    else {
        d.kind = LinkDecision::Open;
        d.target = info.filePath();
    }
    return d;
}

} // namespace

QString existingFileIgnoringCase(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return info.absoluteFilePath();
    // Documents come from Windows, where names are compared without regard to case: a
    // link to "Material\\Karte.PDF" finds "material/karte.pdf" here too. Each part of the
    // path is looked up as written first, then among its folder's entries.
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        const QString exact = QDir(current).filePath(parts.at(i));
        const QFileInfo exactInfo(exact);
        if (last ? exactInfo.isFile() : exactInfo.isDir()) {
            current = exact;
            continue;
        }
        const QStringList entries =
            QDir(current).entryList((last ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::NoDotAndDotDot);
        QString found;
        for (const QString &entry : entries)
            if (entry.compare(parts.at(i), Qt::CaseInsensitive) == 0) {
                found = entry;
                break;
            }
        if (found.isEmpty())
            return QString();
        current = QDir(current).filePath(found);
    }
    return QFileInfo(current).isFile() ? current : QString();
}

LinkDecision CheckLink(const QString &captionIn, const QString &documentFolder)
{
    const QString caption = captionIn.trimmed();
    LinkDecision d;
    if (caption.isEmpty())
        return d;
    // A scheme has two letters at least: "C:\..." is a Windows path, not an address.
    static const QRegularExpression schemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]+):"));
    const QRegularExpressionMatch scheme = schemePattern.match(caption);
    if (scheme.hasMatch()) {
        const QString name = scheme.captured(1).toLower();
        const QUrl url(caption, QUrl::StrictMode);
        if (name == QLatin1String("http") || name == QLatin1String("https")) {
            if (url.isValid() && !url.host().isEmpty()) {
                d.kind = LinkDecision::Open;
                d.target = caption;
            }
            return d;
        }
        if (name == QLatin1String("mailto")) {
            if (url.isValid()) {
                d.kind = LinkDecision::Open;
                d.target = caption;
            }
            return d;
        }
        if (name == QLatin1String("file") && url.isValid() && url.isLocalFile())
            return decideFile(caption, url.toLocalFile());
        d.kind = LinkDecision::Refused;
        d.message = refusal(caption, schemeReason());
        return d;
    }
    if (caption.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        const QUrl url(QStringLiteral("https://") + caption, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty()) {
            d.kind = LinkDecision::Open;
            d.target = url.toString();
        }
        return d;
    }
    QString name = caption;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(name))
        return decideFile(caption, name);
    if (documentFolder.isEmpty())
        return d;
    return decideFile(caption, QDir(documentFolder).filePath(name));
}

} // namespace kapitolo
