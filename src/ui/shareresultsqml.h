#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class KolvexCore;

// The share screen's object: saves the results as the plot shows them, time-
// stamped, into the results folder — the data file, the plot image (written by
// the window from the plot when `saveImage` names a path) and a copy of the
// configuration — and tells the user what happens. Two 500 ms timers wait for
// the image and then for the other two files; a save that cannot write a file
// tells the user and stops instead of waiting for ever.
class MeasuredSpectrumQml;

class ShareResultsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString saveImage READ saveImage WRITE setSaveImage NOTIFY saveImageChanged)
    Q_PROPERTY(bool attachImage READ attachImage WRITE setAttachImage NOTIFY attachImageChanged)
    Q_PROPERTY(bool attachDataFile READ attachDataFile WRITE setAttachDataFile NOTIFY attachDataFileChanged)
    Q_PROPERTY(QString topString READ topString WRITE setTopString NOTIFY topStringChanged)
    Q_PROPERTY(bool fileWritingComplete READ fileWritingComplete WRITE setFileWritingComplete NOTIFY fileWritingCompleteChanged)
    Q_PROPERTY(bool shareResults READ shareResults WRITE setShareResults NOTIFY shareResultsChanged)
    Q_PROPERTY(bool dataAvailable READ dataAvailable NOTIFY fileWritingCompleteChanged)
    Q_PROPERTY(QString resultsFolder READ resultsFolder CONSTANT)
    // The lines above the plot in the saved image: the header line (with the
    // results' marks), then how the results were obtained.
    Q_PROPERTY(QStringList reportLines READ reportLines NOTIFY topStringChanged)

public:
    explicit ShareResultsQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    // How long a save waits for each of its files before it gives up.
    static constexpr int pollInterval = 500;
    static constexpr int defaultFileTimeout = 15000;

    QString saveImage() const { return m_saveImage; }
    void setSaveImage(const QString &path);
    bool attachImage() const { return m_attachImage; }
    void setAttachImage(bool attach);
    bool attachDataFile() const { return m_attachDataFile; }
    void setAttachDataFile(bool attach);
    QString topString() const { return m_topString; }
    void setTopString(const QString &text);
    QStringList reportLines() const;
    bool fileWritingComplete() const { return m_fileWritingComplete; }
    void setFileWritingComplete(bool complete);
    bool shareResults() const { return m_shareResults; }
    void setShareResults(bool share);
    bool dataAvailable() const;
    QString resultsFolder() const;
    bool saving() const { return m_saving; }
    void setFileTimeout(int milliseconds) { m_fileTimeout = milliseconds; }

    static QString noDataMessage() { return QStringLiteral("No calculation has been performed.\nThere are no data to save.\n"); }
    static QString savingMessage()
    {
        return QStringLiteral("Saving data and image\ncurrently displayed and\nnon-zero in current scale\n"
                              "( > 1 vertical axis pixel )\ndate and time stamped\nto the internal app folder");
    }

    Q_INVOKABLE void saveToDocuments(const QString &unused);
    Q_INVOKABLE void shareImageAndText();
    Q_INVOKABLE void showNoDataAlert();
    Q_INVOKABLE void testCall() {}
    // The window could not write the image file.
    Q_INVOKABLE void imageWritingFailed(const QString &path);
    // Writes the grabbed plot (a QImage) as PNG to the image path of the save
    // under way, whole or not at all; a failure ends the save with a message.
    Q_INVOKABLE bool writeImage(const QVariant &image);
    // Writes the same report as SVG and PDF figures beside the image; a
    // failure ends the save with a message that names the file.
    Q_INVOKABLE bool writeFigures(const QByteArray &svg, const QByteArray &pdf);

signals:
    void saveImageChanged();
    void attachImageChanged();
    void attachDataFileChanged();
    void topStringChanged();
    void fileWritingCompleteChanged();
    void shareResultsChanged();
    void savingFilesToDiskComplete();
    void saveConfigToDocuments(const QString &path);

public slots:
    void fileSavedToDisk();
    void saveConfigForSharing(const QString &path);
    void imageTimerUpdate();
    void dataTimerUpdate();

    // Where the data file takes a measured spectrum and its residuals from.
    void setMeasuredSource(const MeasuredSpectrumQml *measured) { m_measured = measured; }

private:
    void fail(const QString &message);
    bool writeDataFile();

    KolvexCore *m_core;
    const MeasuredSpectrumQml *m_measured = nullptr;
    QString m_saveImage;
    QString m_topString;
    bool m_attachImage = true;
    bool m_attachDataFile = false;
    bool m_fileWritingComplete = false;
    bool m_shareResults = false;
    bool m_saving = false;
    bool m_configSaved = false;
    int m_waited = 0;
    int m_fileTimeout = defaultFileTimeout;
    QTimer m_imageTimer;
    QTimer m_dataTimer;
};
