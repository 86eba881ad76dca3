#pragma once

#include <QString>

#include <functional>

class ReplyFormat;
struct CommandTargets;

// The answers to "#RESULT;<item>": the conditions, the grid and the spectra of
// the last calculation as text, and the replies that say why one is missing.
class ResultQueries
{
public:
    // Sends a reply of its own, ahead of the answer (the reasons for an empty one).
    using Reply = std::function<void(const QString &)>;
    // Switches the display to the totals (true) or the molecules and waits
    // until the curves are assembled.
    using ShowTotal = std::function<void(bool)>;

    // Whether the item is followed by a molecule (a spectrum or a concentration).
    static bool takesMolecule(const QString &item);

    static QString answer(const QString &item, int molecule, const CommandTargets &targets,
                          const ReplyFormat &format, const Reply &reply, const ShowTotal &showTotal);

private:
    static QString spectrum(int molecule, const CommandTargets &targets, const ReplyFormat &format,
                            const Reply &reply, const ShowTotal &showTotal);
};
