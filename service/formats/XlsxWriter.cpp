#include "formats/XlsxWriter.h"

#include "formats/CellNumber.h"
#include "formats/SheetLayout.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <tuple>

#include <xlsxwriter.h>

namespace {

// libxlsxwriter counts a sheet name's characters as code points.
constexpr qsizetype kSheetNameMax = 31;
// A cell holds at most 32767 characters; counting UTF-16 units keeps a cut
// text within that however libxlsxwriter counts.
constexpr qsizetype kCellTextMax = 32767;
// A spreadsheet row is at most 409 points high.
constexpr double kMaxRowHeight = 409;

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

// How a cell is shown.
struct CellLook {
    XlsxWriter::Look look;
    QString numberFormat; // empty: general
    bool wrap = false;

    bool plain() const { return numberFormat.isEmpty() && !wrap && look == XlsxWriter::Look(); }
    QString key() const
    {
        return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9|%10")
            .arg(numberFormat)
            .arg(int(wrap))
            .arg(int(look.bold))
            .arg(look.color)
            .arg(look.filled ? qint64(look.fill) : -1)
            .arg(int(look.borders))
            .arg(look.borderColor)
            .arg(int(look.align))
            .arg(int(look.top))
            .arg(look.size);
    }
};

// The formats cells are given, each made once per workbook.
struct CellFormats {
    lxw_workbook *workbook = nullptr;
    QHash<QString, lxw_format *> made; // by what they set

    lxw_format *of(const CellLook &cell)
    {
        if (cell.plain())
            return nullptr;
        lxw_format *&format = made[cell.key()];
        if (!format)
            format = make(cell);
        return format;
    }

    static void setBorders(lxw_format *format, const XlsxWriter::Look &look)
    {
        using Setter = void (*)(lxw_format *, uint8_t);
        using Colour = void (*)(lxw_format *, lxw_color_t);
        const std::tuple<XlsxWriter::Look::Side, Setter, Colour> sides[] = {
            {XlsxWriter::Look::Top, format_set_top, format_set_top_color},
            {XlsxWriter::Look::Bottom, format_set_bottom, format_set_bottom_color},
            {XlsxWriter::Look::Left, format_set_left, format_set_left_color},
            {XlsxWriter::Look::Right, format_set_right, format_set_right_color}};
        for (const auto &[side, setLine, setColour] : sides) {
            if (look.borders & side) {
                setLine(format, LXW_BORDER_THIN);
                setColour(format, look.borderColor);
            }
        }
    }

    lxw_format *make(const CellLook &cell) const
    {
        lxw_format *format = workbook_add_format(workbook);
        if (!cell.numberFormat.isEmpty())
            format_set_num_format(format, cell.numberFormat.toUtf8().constData());
        if (cell.wrap)
            format_set_text_wrap(format);
        if (cell.wrap || cell.look.top)
            format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
        const XlsxWriter::Look &look = cell.look;
        if (look.bold)
            format_set_bold(format);
        if (look.size > 0)
            format_set_font_size(format, look.size);
        if (look.color != 0)
            format_set_font_color(format, look.color);
        if (look.filled) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, look.fill);
        }
        setBorders(format, look);
        static const uint8_t kAlign[] = {LXW_ALIGN_NONE, LXW_ALIGN_LEFT, LXW_ALIGN_CENTER, LXW_ALIGN_RIGHT};
        if (look.align != XlsxWriter::Look::Align::General)
            format_set_align(format, kAlign[int(look.align)]);
        return format;
    }
};

// Rows holding wrapped or large text are made tall enough for it:
// spreadsheet programs keep a stored sheet's row heights rather than fit them.
void setRowHeights(lxw_worksheet *worksheet, const SheetLayout &layout, qsizetype rows)
{
    for (qsizetype r = 0; r < rows; ++r) {
        const double height = layout.rowHeight(r);
        if (height > LXW_DEF_ROW_HEIGHT)
            worksheet_set_row(worksheet, lxw_row_t(r), qMin(height, kMaxRowHeight), nullptr);
    }
}

// What a cell's text is read as: a number, a date, or neither (text).
struct CellValue {
    std::optional<CellNumber> number;
    std::optional<CellDate> date;
};

// A cell past the end of its row has no text, but may have a look.
CellValue valueOf(const SheetLayout &layout, const XlsxWriter::Sheet &sheet, qsizetype row, qsizetype column)
{
    CellValue value;
    const QStringList &texts = sheet.rows[row];
    if (column >= texts.size())
        return value;
    value.number = CellNumber::read(texts[column]);
    if (!value.number)
        value.date = CellDate::read(texts[column], layout.dateOrder(column));
    return value;
}

lxw_format *formatOf(const SheetLayout &layout, const XlsxWriter::Sheet &sheet, qsizetype row, qsizetype column,
                     const CellValue &value, CellFormats &formats)
{
    CellLook cell;
    cell.look = sheet.looks.value({int(row), int(column)});
    // In a row of several lines a list item's number stands at the top of
    // its text, not at its foot.
    cell.look.top = cell.look.top || layout.rowLines(row) > 1;
    if (value.number)
        cell.numberFormat = value.number->format;
    else if (value.date)
        cell.numberFormat = value.date->format;
    else if (column < sheet.rows[row].size())
        cell.wrap = layout.wraps(row, column);
    return formats.of(cell);
}

// The hyperlink a cell's link gives in the workbook; empty where it leads
// nowhere a reader should be sent (a local file, another workbook).
QString hyperlink(const QString &link, const QStringList &sheetNames)
{
    static const QRegularExpression followed(QStringLiteral("^(https?://|ftp://|mailto:)\\S+$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (link.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const int sheet = link.mid(1).toInt(&ok);
        if (!ok || sheet < 0 || sheet >= sheetNames.size())
            return {};
        return QStringLiteral("internal:'%1'!A1")
            .arg(QString(sheetNames[sheet]).replace(QLatin1Char('\''), QStringLiteral("''")));
    }
    return followed.match(link).hasMatch() ? link : QString();
}

lxw_error writeCell(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const QString &value, const CellValue &read,
                    lxw_format *format, const QString &url = {})
{
    if (read.number)
        return worksheet_write_number(sheet, row, column, read.number->value, format);
    if (read.date) {
        const QDate &date = read.date->date;
        lxw_datetime when{date.year(), uint8_t(date.month()), uint8_t(date.day()), 0, 0, 0};
        return worksheet_write_datetime(sheet, row, column, &when, format);
    }
    QString text = withoutControls(value.trimmed(), true);
    if (text.isEmpty()) // written only to show its look: a rule round it, a fill
        return format ? worksheet_write_blank(sheet, row, column, format) : LXW_NO_ERROR;
    if (text.size() > kCellTextMax)
        text.truncate(text[kCellTextMax - 1].isHighSurrogate() ? kCellTextMax - 1 : kCellTextMax);
    if (!url.isEmpty()) {
        // Too long an address, or too many links on the sheet, leave the text plain.
        const lxw_error linked = worksheet_write_url_opt(sheet, row, column, url.toUtf8().constData(), format,
                                                         text.toUtf8().constData(), nullptr);
        if (linked == LXW_NO_ERROR)
            return linked;
    }
    return worksheet_write_string(sheet, row, column, text.toUtf8().constData(), format);
}

QString errorText(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// Merges the ranges that can be, each given its first cell's format, which
// is written over it afterwards.
lxw_error mergeRanges(lxw_worksheet *worksheet, const XlsxWriter::Sheet &sheet, const SheetLayout &layout,
                      CellFormats &formats)
{
    for (const XlsxWriter::Range &range : layout.merged()) {
        lxw_format *format =
            formatOf(layout, sheet, range.row, range.column, valueOf(layout, sheet, range.row, range.column), formats);
        const lxw_error result = worksheet_merge_range(worksheet, lxw_row_t(range.row), lxw_col_t(range.column),
                                                       lxw_row_t(range.row + range.rows - 1),
                                                       lxw_col_t(range.column + range.columns - 1), "", format);
        if (result != LXW_NO_ERROR)
            return result;
    }
    return LXW_NO_ERROR;
}

// Writes one sheet's columns and cells; the reason it stopped, or nothing.
QString fillSheet(lxw_worksheet *worksheet, const XlsxWriter::Sheet &sheet, const QStringList &sheetNames,
                  CellFormats &formats)
{
    const QList<QStringList> &rows = sheet.rows;
    for (const QStringList &row : rows) {
        // Checked here: lxw_col_t is 16 bits wide, so a cast would wrap.
        if (rows.size() > LXW_ROW_MAX || row.size() > LXW_COL_MAX)
            return QStringLiteral("it has more rows or columns than a worksheet can hold");
    }
    const SheetLayout layout(sheet);
    const QList<double> &widths = layout.columnWidths();
    for (qsizetype c = 0; c < widths.size(); ++c) {
        if (widths[c] > 0)
            worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
    }
    setRowHeights(worksheet, layout, rows.size());
    if (const lxw_error merged = mergeRanges(worksheet, sheet, layout, formats); merged != LXW_NO_ERROR)
        return QStringLiteral("cannot merge cells: %1").arg(errorText(merged));
    const auto write = [&](qsizetype r, qsizetype c) {
        const QString text = c < rows[r].size() ? rows[r][c] : QString();
        const QString url = hyperlink(sheet.links.value({int(r), int(c)}), sheetNames);
        const CellValue value = valueOf(layout, sheet, r, c);
        lxw_format *format = formatOf(layout, sheet, r, c, value, formats);
        // A link of plain text is shown as links are, blue and underlined.
        if (!url.isEmpty() && !format)
            format = workbook_get_default_url_format(formats.workbook);
        const lxw_error result = writeCell(worksheet, lxw_row_t(r), lxw_col_t(c), text, value, format, url);
        return result == LXW_NO_ERROR
                   ? QString()
                   : QStringLiteral("row %1, column %2: %3").arg(r + 1).arg(c + 1).arg(errorText(result));
    };
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            if (const QString problem = write(r, c); !problem.isEmpty())
                return problem;
        }
    }
    for (auto look = sheet.looks.cbegin(); look != sheet.looks.cend(); ++look) {
        const XlsxWriter::Cell cell = look.key();
        const bool pastTheText = cell.row >= 0 && cell.row < rows.size() && cell.column >= rows[cell.row].size() &&
                                 cell.column < LXW_COL_MAX;
        if (pastTheText) {
            if (const QString problem = write(cell.row, cell.column); !problem.isEmpty())
                return problem;
        }
    }
    return {};
}

// Prints the sheet on its paper, turned as that is, on one page as its
// source page was: its columns keep the widths they had there, which would
// otherwise spill the last columns onto pages of their own, and its rows
// are a little taller than the source's lines, which spilled a long
// table's last rows.
void setPrinting(lxw_worksheet *worksheet, QSizeF paper)
{
    if (paper.isEmpty())
        return;
    struct Known {
        double shortSide;
        double longSide;
        uint8_t code;
    };
    static const Known kPapers[] = {{612, 792, 1}, {612, 1008, 5}, {842, 1191, 8}, {595, 842, 9}, {420, 595, 11}};
    const double shortSide = qMin(paper.width(), paper.height());
    const double longSide = qMax(paper.width(), paper.height());
    for (const Known &known : kPapers) {
        if (std::abs(known.shortSide - shortSide) < 6 && std::abs(known.longSide - longSide) < 6)
            worksheet_set_paper(worksheet, known.code);
    }
    if (paper.width() > paper.height())
        worksheet_set_landscape(worksheet);
    worksheet_fit_to_pages(worksheet, 1, 1);
}

// Adds the sheets and their cells; the reason it stopped, or nothing.
QString fill(lxw_workbook *workbook, const QList<XlsxWriter::Sheet> &sheets)
{
    QStringList wanted;
    for (const XlsxWriter::Sheet &sheet : sheets)
        wanted << sheet.name;
    const QStringList names = XlsxWriter::sheetNames(wanted);
    CellFormats formats;
    formats.workbook = workbook;
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        lxw_worksheet *worksheet = workbook_add_worksheet(workbook, names[s].toUtf8().constData());
        if (!worksheet)
            return QStringLiteral("Cannot add the sheet \"%1\"").arg(names[s]);
        if (sheets[s].rightToLeft)
            worksheet_right_to_left(worksheet);
        setPrinting(worksheet, sheets[s].paper);
        const QString problem = fillSheet(worksheet, sheets[s], names, formats);
        if (!problem.isEmpty())
            return QStringLiteral("Sheet \"%1\": %2").arg(names[s], problem);
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
