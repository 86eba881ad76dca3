#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

class KolvexCore;
class MeasuredFit;
class QFileDialog;
class MeasuredOverlay;

// The Measured spectrum screen's view of the measured spectrum and its fit:
// which file is loaded and how many of its rows the calculated range takes,
// the choice of what varies (kept by the fit, which the peers set too), the
// fit started without holding up the window, and its results or refusal;
// and the measured curve with its residuals as the plot draws them.
class MeasuredSpectrumQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loaded READ loaded NOTIFY measuredChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY measuredChanged)
    Q_PROPERTY(QString rowsText READ rowsText NOTIFY measuredChanged)
    Q_PROPERTY(QString loadProblem READ loadProblem NOTIFY loadProblemChanged)
    Q_PROPERTY(QStringList molecules READ molecules NOTIFY moleculesChanged)
    Q_PROPERTY(QStringList variedMolecules READ variedMolecules NOTIFY variedChanged)
    Q_PROPERTY(bool varyTemperature READ varyTemperature NOTIFY variedChanged)
    Q_PROPERTY(bool varyPressure READ varyPressure NOTIFY variedChanged)
    Q_PROPERTY(bool varyShift READ varyShift NOTIFY variedChanged)
    // -1: no baseline; 0 to 2: its order.
    Q_PROPERTY(int baselineOrder READ baselineOrder NOTIFY variedChanged)
    Q_PROPERTY(QString variedProblem READ variedProblem NOTIFY variedChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(QStringList resultLines READ resultLines NOTIFY resultChanged)
    Q_PROPERTY(QString fitProblem READ fitProblem NOTIFY resultChanged)
    // The legend's entries of the measured curve and the residuals (maps with
    // "name" and "color"), or the note that the curve is not drawn.
    Q_PROPERTY(QVariantList legend READ legend NOTIFY overlayChanged)

public:
    MeasuredSpectrumQml(QObject *parent, KolvexCore *core);

    bool loaded() const;
    QString fileName() const;
    QString rowsText() const;
    QString loadProblem() const { return m_loadProblem; }
    QStringList molecules() const;
    QStringList variedMolecules() const;
    bool varyTemperature() const { return variedItems().contains(QStringLiteral("T")); }
    bool varyPressure() const { return variedItems().contains(QStringLiteral("P")); }
    bool varyShift() const { return variedItems().contains(QStringLiteral("shift")); }
    int baselineOrder() const;
    QString variedProblem() const { return m_variedProblem; }
    bool running() const;
    QStringList resultLines() const;
    QString fitProblem() const;
    QVariantList legend() const;

    // The measured curve and its residuals in the plot's quantity and x unit:
    // made when first asked for after overlayChanged(), then shared and never
    // changed.
    std::shared_ptr<const MeasuredOverlay> overlay() const;
    static const char *measuredColor() { return "#606060"; }
    static const char *residualColor() { return "#a6611a"; }

    // A file name in the data folder, or a path. A refusal is kept in
    // loadProblem and the spectrum loaded before stays.
    Q_INVOKABLE bool load(const QString &file);
    // Opens the file dialog in the data folder (or where the last file was
    // chosen); the file chosen there is loaded as load() does and announced
    // by fileChosen. One dialog at a time: a second call brings it forward.
    Q_INVOKABLE void browse();
    Q_INVOKABLE void remove();
    // Adds a quantity to what varies or takes it out: a molecule's formula,
    // "T", "P" or "shift".
    Q_INVOKABLE void setVaried(const QString &item, bool varied);
    Q_INVOKABLE void setBaselineOrder(int order);
    // Starts the fit; it runs while the window goes on.
    Q_INVOKABLE void fit();
    // The selected molecules may have changed since the screen last looked.
    Q_INVOKABLE void refresh() { emit moleculesChanged(); }

public slots:
    // The results, their quantity or unit, the spectrum or its fit changed.
    void invalidateOverlay();

signals:
    void measuredChanged();
    void loadProblemChanged();
    void moleculesChanged();
    void variedChanged();
    void runningChanged();
    void resultChanged();
    void overlayChanged();
    void fileChosen(const QString &path);

private:
    // What varies, item by item as the fit's list names them.
    QStringList variedItems() const;
    void setVariedItems(QStringList items);

    KolvexCore *m_core;
    MeasuredFit *m_fit;
    QString m_loadProblem;
    QString m_variedProblem;
    // A refusal to start (a fit running); the fit's own refusals are its.
    QString m_startProblem;
    mutable std::shared_ptr<const MeasuredOverlay> m_overlay;
    QPointer<QFileDialog> m_dialog;
    QString m_lastFolder;
};
