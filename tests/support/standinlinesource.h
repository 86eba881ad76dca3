#pragma once

#include "core/linesource.h"

#include <QString>

#include <vector>

// A line source for tests: hands out a fixed list of line records in batches of
// a chosen size, either from the event loop (as a downloader does) or at once
// inside requestNextChunk().
class StandInLineSource : public LineSource
{
    Q_OBJECT

public:
    explicit StandInLineSource(std::vector<LineRecord> records = {}, int batchSize = 20000,
                               QObject *parent = nullptr);

    // Every record of a HITRAN line file; an unreadable file gives none.
    static std::vector<LineRecord> readFile(const QString &path);

    void setRecords(std::vector<LineRecord> records) { m_records = std::move(records); }
    void setBatchSize(int size) { m_batchSize = size; }
    void setImmediate(bool immediate) { m_immediate = immediate; }
    // After this many batches further requests go unanswered, as by a download
    // that stalls; negative: never.
    void setStallAfter(int batches) { m_stallAfter = batches; }
    int requestCount() const { return m_requestCount; }

    void setMolecules(std::vector<Molecule> *molecules) override { m_molecules = molecules; }
    void setCalcStart(double wavenumber) override { m_calcStart = wavenumber; }
    void setCalcEnd(double wavenumber) override { m_calcEnd = wavenumber; }
    void setCancelRequested(bool cancel) override { m_cancel = cancel; }
    bool cancelRequested() const override { return m_cancel; }
    void fetchForCalculation() override;
    void prepareLineData() override
    {
        m_next = 0;
        m_delivered = 0;
    }
    qint64 expectedRecordCount() const override { return qint64(m_records.size()); }
    void requestNextChunk() override;
    const LineBatch &lineRecords() const override { return m_batch; }
    void clearLineRecords() override { m_batch.clear(); }

private:
    void deliver();

    std::vector<LineRecord> m_records;
    LineBatch m_batch;
    std::vector<Molecule> *m_molecules = nullptr;
    double m_calcStart = 0.0;
    double m_calcEnd = 0.0;
    std::size_t m_next = 0;
    int m_batchSize = 20000;
    int m_requestCount = 0;
    int m_delivered = 0;
    int m_stallAfter = -1;
    bool m_immediate = false;
    bool m_cancel = false;
};
