#pragma once

#include <QString>

// What a PDF font name says about its face. PDF names are PostScript names
// ("ABCDEF+TimesNewRomanPS-BoldItalicMT", "CMBX12", "NimbusSanL-ReguItal");
// the family to ask fontconfig for and the weight and slant are read from
// them, with the TeX and URW names mapped to the families that replace them.
class FontNames final {
public:
    struct Face {
        QString family; // what to ask fontconfig for
        bool bold = false;
        bool italic = false;
        bool mono = false;
        // Latin Modern's family of the face's design size ("LM Roman 12" for
        // CMBX12), asked for first: its letters have the source's widths.
        QString design;
        // An East Asian face of another system ("MS-Mincho", "SimHei"):
        // where it is not installed, a face of its kind ("serif",
        // "sans-serif") for its language ("ja", "zh-cn", "zh-tw", "ko").
        QString generic = {};
        QString language = {};
    };

    static Face describe(const QString &pdfName);
    // The name without a subset prefix ("ABCDEF+").
    static QString withoutSubset(const QString &pdfName);
    // The fontconfig pattern for a face: "family:bold:italic", with monospace
    // asked for where the face is one; an East Asian face's kind and
    // language follow its family (",serif:lang=ja"), and its letters of one
    // width are no monospace.
    static QString pattern(const Face &face);
    // The family to write, from fc-match's "%{family}\t%{weight}\t%{slant}\t%{fontformat}"
    // answer for the face's pattern: the design size's family where it
    // matched with the face's weight and slant, else the first name matched;
    // none where that is a Type 1 font, which office programs cannot draw.
    static QString matchedFamily(const Face &face, const QString &answer);
    // The family to write for a face, given what fontconfig matched: its
    // fallback for an unknown family, or no match, gives way to the
    // Liberation family of the face's kind.
    static QString standIn(const Face &face, const QString &matched);
    // The family to set `text` in: Latin Modern has no Cyrillic or Greek
    // letters, and TeX's faces that draw them (cm-super's) are set in
    // Computer Modern Unicode, which has Latin Modern's metrics and those
    // letters; any other family as it is.
    static QString forText(const QString &family, const QString &text);

    // The mean advance of a letter of English text and of a space, in em, of
    // the families that commonly stand in for PDF fonts; 0 for others.
    static double letterAdvance(const QString &family);
    static double spaceAdvance(const QString &family);
    // How far the office moves a run of `family` per point of raise it is
    // given (w:position): its line's height in em, which is above 1.
    static double raiseScale(const QString &family);
    // Whether `standIn` is the PDF font itself or one made with its metrics
    // (Liberation and URW's fonts for Times, Arial, Helvetica and Courier and
    // their clones, URW's for Palatino, Century Schoolbook and Bookman,
    // Carlito for Calibri, Caladea for Cambria, Latin Modern for TeX's fonts).
    static bool sameMetrics(const QString &pdfName, const QString &standIn);
};
