#pragma once

#include <QString>

// The colours of the molecules' curves shown together: a qualitative palette
// of ten colours that stay apart for normal vision and for deuteranopia and
// protanopia (Okabe and Ito's without black and yellow, then Tol's wine,
// indigo, green and salmon: no two closer than a CIE76 distance of 14 as any
// of the three sees them), none of them the totals' black or red.
// A molecule whose colour the user chose keeps it; the others take the
// palette's colours in the order their curves are shown.
class CurvePalette
{
public:
    static constexpr int size = 10;

    // The k-th colour of the palette (k from 0; it repeats after `size`).
    static QString color(int k);
    // The built-in colour of molecule `index` (0-based), empty when there is none.
    static QString builtinColor(int index);
    // The colour the curve of molecule `index`, whose colour is `color`, is
    // drawn in as the `order`-th curve of its set.
    static QString curveColor(int index, const QString &color, int order);
};
