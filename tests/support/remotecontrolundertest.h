#pragma once

#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "fakesensorsettings.h"
#include "faketransport.h"
#include "remote/remotecontrol.h"

#include <QString>
#include <QStringList>

#include <memory>

// The command processor on plain objects: a fresh parameter store, an axis of
// 1001 points over 2000-2300 cm-1, the y axis, the sensors as the commands see
// them, the instrument function, the atmospheric models, the downloader and
// the results table, with a fake transport serving the WebSocket mode. A wait
// for a redrawn plot ends 50 ms after the wait began.
class RemoteControlUnderTest
{
public:
    RemoteControlUnderTest();
    ~RemoteControlUnderTest();

    // Whether the atmospheric models could be built.
    bool isValid() const { return m_valid; }

    // What the transport's peer hears back from `message`, once its commands
    // (and their waits, in the event loop) have ended.
    QStringList send(const QString &message);

    Params *params() { return m_params.get(); }
    XAxis *xAxis() { return m_xAxis.get(); }
    YAxisSettings *yAxis() { return m_yAxis.get(); }
    FakeSensorSettings *sensors() { return m_sensors.get(); }
    InstrumentFunction *instrument() { return m_instrument.get(); }
    AtmosphereModelSet *atmospheres() { return m_atmospheres.get(); }
    HitranOnlineDownloader *downloader() { return m_downloader.get(); }
    CalculationResults *results() { return m_results.get(); }
    RemoteControl *remote() { return m_remote.get(); }
    FakeTransport *transport() { return m_transport.get(); }

private:
    std::unique_ptr<Params> m_params;
    std::unique_ptr<XAxis> m_xAxis;
    std::unique_ptr<YAxisSettings> m_yAxis;
    std::unique_ptr<FakeSensorSettings> m_sensors;
    std::unique_ptr<InstrumentFunction> m_instrument;
    std::unique_ptr<AtmosphereModelSet> m_atmospheres;
    std::unique_ptr<HitranOnlineDownloader> m_downloader;
    std::unique_ptr<CalculationResults> m_results;
    std::unique_ptr<RemoteControl> m_remote;
    std::unique_ptr<FakeTransport> m_transport;
    bool m_valid = false;
};
