#pragma once

#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A core as kolvex-console runs it, ready to calculate: its data folder (a
// temporary one) holds the given line list as its own line file, which it reads
// in the offline mode, the partition sums are loaded, and a results model
// assembles the curves of a plot `heightPoints` high after every calculation.
class OfflineSampleCore
{
public:
    OfflineSampleCore(const QString &lineFile, int heightPoints);

    KolvexCore &core() { return *m_core; }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<SpectraResultsQml> m_results;
};
