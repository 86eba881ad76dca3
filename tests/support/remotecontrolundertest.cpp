#include "remotecontrolundertest.h"

#include "remote/commandtargets.h"

#include <QTest>

RemoteControlUnderTest::RemoteControlUnderTest()
    : m_params(std::make_unique<Params>())
    , m_xAxis(std::make_unique<XAxis>(XAxis::Wavenumber, 2000.0, 2300.0, 1001))
    , m_yAxis(std::make_unique<YAxisSettings>())
    , m_sensors(std::make_unique<FakeSensorSettings>())
    , m_instrument(std::make_unique<InstrumentFunction>())
    , m_atmospheres(std::make_unique<AtmosphereModelSet>())
{
    m_atmospheres->setMoleculeCount(m_params->moleculeCount());
    m_valid = m_atmospheres->buildModels();
    if (!m_valid)
        return;
    m_downloader = std::make_unique<HitranOnlineDownloader>();
    m_results = std::make_unique<CalculationResults>();
    m_remote = std::make_unique<RemoteControl>();
    CommandTargets targets;
    targets.params = m_params.get();
    targets.xAxis = m_xAxis.get();
    targets.yAxis = m_yAxis.get();
    targets.sensors = m_sensors.get();
    targets.instrumentFunction = m_instrument.get();
    targets.atmosphereModels = m_atmospheres.get();
    targets.downloader = m_downloader.get();
    targets.results = m_results.get();
    m_remote->setTargets(targets);
    m_remote->setReadyGrace(50);
    m_transport = std::make_unique<FakeTransport>();
    m_remote->setTransport(RemoteControl::WebSocketMode, m_transport.get());
    m_remote->setCommunicationMode(RemoteControl::WebSocketMode);
}

RemoteControlUnderTest::~RemoteControlUnderTest()
{
    m_remote.reset();
    m_transport.reset();
}

QStringList RemoteControlUnderTest::send(const QString &message)
{
    m_transport->takeReplies();
    m_transport->receive(message);
    // A wait (TOTAL for the redrawn plot) goes on in the event loop.
    if (!QTest::qWaitFor([this] { return !m_remote->busy(); }, 20000))
        qWarning("The commands did not end within 20 s.");
    return m_transport->takeReplies();
}
