#pragma once

#include <QRect>
#include <QString>

#include <memory>

class AtmosphereModelSet;
class Params;
class QSettings;

// The program's own settings, beside the configuration file (whose layout has
// no place for them): which molecules are selected, the chosen model
// atmosphere, the window's place on the screen and live mode. They live in the user's
// settings of the program, or in a file given instead (the tests' own).
class ProgramSettings
{
public:
    explicit ProgramSettings(const QString &file = QString());
    ~ProgramSettings();

    void saveSelection(const Params &params, const AtmosphereModelSet &models);
    // Puts back what was saved; what was never saved stays as it is.
    void restoreSelection(Params &params, AtmosphereModelSet &models) const;

    // An empty rectangle when none was saved.
    QRect windowGeometry() const;
    void setWindowGeometry(const QRect &geometry);

    // Live mode, off unless it was switched on.
    bool liveCalculation() const;
    void setLiveCalculation(bool on);

    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
