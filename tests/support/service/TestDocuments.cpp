#include "support/service/TestDocuments.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

QByteArray pdfString(const QString &text)
{
    QByteArray escaped = text.toLatin1();
    escaped.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
    return '(' + escaped + ')';
}

QByteArray pageContent(const QStringList &lines, double height)
{
    QByteArray content;
    for (int line = 0; line < lines.size(); ++line) {
        const QStringList cells = lines[line].split(QLatin1Char('\t'));
        for (int cell = 0; cell < cells.size(); ++cell) {
            content += "BT /F1 12 Tf " + QByteArray::number(72 + cell * 160) + ' ' +
                       QByteArray::number(height - 72 - line * 18, 'f', 2) + " Td " + pdfString(cells[cell]) +
                       " Tj ET\n";
        }
    }
    return content;
}

QString pythonZip(const QString &script)
{
    return QStringLiteral("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n") + script;
}

} // namespace

QByteArray TestDocuments::pdf(const QList<QStringList> &pages, const QSizeF &size)
{
    QList<QByteArray> objects;
    QByteArray kids;
    for (int i = 0; i < pages.size(); ++i)
        kids += QByteArray::number(4 + 2 * i) + " 0 R ";
    objects << "<< /Type /Catalog /Pages 2 0 R >>"
            << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>"
            << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    for (int i = 0; i < pages.size(); ++i) {
        const QByteArray content = pageContent(pages[i], size.height());
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(size.width(), 'f', 2) + ' ' +
                       QByteArray::number(size.height(), 'f', 2) +
                       "] /Resources << /Font << /F1 3 0 R >> >> /Contents " + QByteArray::number(5 + 2 * i) + " 0 R >>"
                << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream";
    }
    return assemblePdf(objects);
}

QByteArray TestDocuments::assemblePdf(const QList<QByteArray> &objects)
{
    QByteArray out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

QByteArray TestDocuments::image(const char *format, const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.fillRect(QRect(QPoint(0, 0), size / 2), Qt::darkBlue);
    painter.fillRect(QRect(QPoint(size.width() / 2, size.height() / 2), size / 2), Qt::red);
    painter.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return data;
}

std::optional<QByteArray> TestDocuments::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QString TestDocuments::office(const QString &input, const QString &target, const QString &folder,
                              const QString &inputFilter)
{
    QDir().mkpath(folder);
    const QString profile = QDir::homePath() + QStringLiteral("/test-office-profile");
    QStringList arguments = {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                             QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--nologo")};
    if (!inputFilter.isEmpty())
        arguments << QStringLiteral("--infilter=") + inputFilter;
    arguments << QStringLiteral("--convert-to") << target << QStringLiteral("--outdir") << folder << input;
    if (!run(QStringLiteral("soffice"), arguments, 180000))
        return {};
    const QString made = folder + QLatin1Char('/') + QFileInfo(input).completeBaseName() + QLatin1Char('.') +
                         target.section(QLatin1Char(':'), 0, 0);
    return QFileInfo::exists(made) ? made : QString();
}

int TestDocuments::pageCount(const QString &pdf)
{
    return int(pageSizes(pdf).size());
}

QList<QSizeF> TestDocuments::pageSizes(const QString &pdf)
{
    const std::optional<QByteArray> info =
        run(QStringLiteral("pdfinfo"),
            {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("9999"), pdf});
    QList<QSizeF> sizes;
    if (!info)
        return sizes;
    static const QRegularExpression line(QStringLiteral("^Page\\s+\\d+\\s+size:\\s+([0-9.]+) x ([0-9.]+)"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromUtf8(*info)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        sizes << QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
    }
    return sizes;
}

QString TestDocuments::pdfText(const QString &pdf, bool layout)
{
    QStringList arguments = {QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (layout)
        arguments << QStringLiteral("-layout");
    arguments << pdf << QStringLiteral("-");
    return QString::fromUtf8(run(QStringLiteral("pdftotext"), arguments).value_or(QByteArray()));
}

std::optional<QStringList> TestDocuments::zipEntries(const QString &zip)
{
    const std::optional<QByteArray> names =
        run(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             pythonZip(QStringLiteral("assert z.testzip() is None\nprint('\\n'.join(z.namelist()))")), zip});
    if (!names)
        return std::nullopt;
    return QString::fromUtf8(*names).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray TestDocuments::zipEntry(const QString &zip, const QString &name)
{
    return run(QStringLiteral("python3"),
               {QStringLiteral("-c"), pythonZip(QStringLiteral("sys.stdout.buffer.write(z.read(sys.argv[2]))")), zip,
                name})
        .value_or(QByteArray());
}

QList<qint64> TestDocuments::processes(const QList<QByteArray> &parts)
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        const QByteArray command = number ? read(QStringLiteral("/proc/%1/cmdline").arg(entry)) : QByteArray();
        const bool matches =
            !command.isEmpty() && std::all_of(parts.cbegin(), parts.cend(),
                                              [&command](const QByteArray &part) { return command.contains(part); });
        if (matches)
            pids << pid;
    }
    return pids;
}

bool TestDocuments::write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray TestDocuments::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
