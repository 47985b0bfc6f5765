#include "formats/XlsxWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <xlsxwriter.h>

namespace {

// libxlsxwriter counts a sheet name's characters as code points.
constexpr qsizetype kSheetNameMax = 31;
// A cell holds at most 32767 characters; counting UTF-16 units keeps a cut
// text within that however libxlsxwriter counts.
constexpr qsizetype kCellTextMax = 32767;

// XML 1.0 has no place for most control characters; a cell keeps its tabs
// and line breaks, a sheet name keeps none.
QString withoutControls(const QString &text, bool keepTabsAndBreaks)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 || (keepTabsAndBreaks && (c == QLatin1Char('\t') || c == QLatin1Char('\n'))))
            clean.append(c);
    }
    return clean;
}

// The first `count` code points, never splitting a surrogate pair.
QString leftCodePoints(const QString &text, qsizetype count)
{
    qsizetype end = 0;
    for (qsizetype n = 0; n < count && end < text.size(); ++n) {
        const bool pair = text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

bool isPlainNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]{0,14})(\\.[0-9]{1,10})?$"));
    return number.match(text).hasMatch();
}

lxw_error writeCell(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const QString &value)
{
    // Leading zeros ("007") fail the pattern, so codes and numbers written
    // with them stay text.
    if (isPlainNumber(value))
        return worksheet_write_number(sheet, row, column, value.toDouble(), nullptr);
    QString text = withoutControls(value, true);
    if (text.isEmpty())
        return LXW_NO_ERROR; // an empty cell is simply not written
    if (text.size() > kCellTextMax)
        text.truncate(text[kCellTextMax - 1].isHighSurrogate() ? kCellTextMax - 1 : kCellTextMax);
    return worksheet_write_string(sheet, row, column, text.toUtf8().constData(), nullptr);
}

QString errorText(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// Adds the sheets and their cells; the reason it stopped, or nothing.
QString fill(lxw_workbook *workbook, const QList<XlsxWriter::Sheet> &sheets)
{
    QStringList wanted;
    for (const XlsxWriter::Sheet &sheet : sheets)
        wanted << sheet.name;
    const QStringList names = XlsxWriter::sheetNames(wanted);
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        lxw_worksheet *worksheet = workbook_add_worksheet(workbook, names[s].toUtf8().constData());
        if (!worksheet)
            return QStringLiteral("Cannot add the sheet \"%1\"").arg(names[s]);
        if (sheets[s].rightToLeft)
            worksheet_right_to_left(worksheet);
        const QList<QStringList> &rows = sheets[s].rows;
        for (qsizetype r = 0; r < rows.size(); ++r) {
            // Checked here: lxw_col_t is 16 bits wide, so a cast would wrap.
            if (r >= LXW_ROW_MAX || rows[r].size() > LXW_COL_MAX)
                return QStringLiteral("The sheet \"%1\" has more rows or columns than a worksheet can hold")
                    .arg(names[s]);
            for (qsizetype c = 0; c < rows[r].size(); ++c) {
                const lxw_error result = writeCell(worksheet, lxw_row_t(r), lxw_col_t(c), rows[r][c]);
                if (result != LXW_NO_ERROR)
                    return QStringLiteral("Sheet \"%1\", row %2, column %3: %4")
                        .arg(names[s])
                        .arg(r + 1)
                        .arg(c + 1)
                        .arg(errorText(result));
            }
        }
    }
    return {};
}

// The workbook's title, author, subject, keywords and date of making.
void setProperties(lxw_workbook *workbook, const DocumentInfo &info)
{
    QByteArray title = withoutControls(info.title, false).toUtf8();
    QByteArray author = withoutControls(info.author, false).toUtf8();
    QByteArray subject = withoutControls(info.subject, false).toUtf8();
    QByteArray keywords = withoutControls(info.keywords, false).toUtf8();
    lxw_doc_properties properties{};
    // The library copies what it is given.
    properties.title = title.isEmpty() ? nullptr : title.data();
    properties.author = author.isEmpty() ? nullptr : author.data();
    properties.subject = subject.isEmpty() ? nullptr : subject.data();
    properties.keywords = keywords.isEmpty() ? nullptr : keywords.data();
    if (info.created.isValid())
        properties.created = time_t(info.created.toSecsSinceEpoch());
    workbook_set_properties(workbook, &properties);
}

} // namespace

QStringList XlsxWriter::sheetNames(const QStringList &wanted)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\[\\]:*?/\\\\]"));
    QStringList names;
    QSet<QString> taken; // case-folded
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        QString base = withoutControls(wanted[i], false).replace(forbidden, QStringLiteral("_"));
        // Cut before trimming, so that the cut cannot leave an apostrophe at the end.
        base = leftCodePoints(base, kSheetNameMax);
        while (base.startsWith(QLatin1Char('\'')))
            base.remove(0, 1);
        while (base.endsWith(QLatin1Char('\'')))
            base.chop(1);
        if (base.isEmpty())
            base = QStringLiteral("Sheet%1").arg(i + 1);
        QString name = base;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = leftCodePoints(base, kSheetNameMax - suffix.size()) + suffix;
        }
        taken.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

bool XlsxWriter::write(const QString &path, const QList<Sheet> &sheets, QString *error, const DocumentInfo &info)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = QStringLiteral("Cannot write the workbook: %1").arg(why);
        return false;
    };
    // libxlsxwriter assembles each part in a temporary file first; they go
    // beside the workbook, on the disk meant for results, not into /tmp.
    QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.tmpdir = folder.data();
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!workbook)
        return fail(QStringLiteral("Out of memory"));
    setProperties(workbook, info);
    const QString problem = fill(workbook, sheets);
    if (!problem.isEmpty()) {
        // Nothing has been written yet; free the workbook without writing it.
        lxw_workbook_free(workbook);
        return fail(problem);
    }
    // workbook_close writes the file and frees the workbook, whatever the outcome.
    const lxw_error closed = workbook_close(workbook);
    if (closed == LXW_NO_ERROR)
        return true;
    QFile::remove(path); // what a failed close wrote is not a workbook
    return fail(errorText(closed));
}
