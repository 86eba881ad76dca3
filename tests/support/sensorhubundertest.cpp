#include "sensorhubundertest.h"

#include "core/pathconditions.h"

#include <QSensorManager>

namespace {

const QByteArray backendName("kolvex.test");

} // namespace

SensorHubUnderTest::SensorHubUnderTest()
    : m_params(std::make_unique<Params>())
{
    // Only the test's sensors: none of the platform's plugins, no Sense HAT.
    qputenv("QT_SENSORS_LOAD_PLUGINS", "0");
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
    PathConditions &path = m_params->pathConditions();
    path = PathConditions();
    path.totalPressure = 0.8;
    path.temperature = 250.0;
    path.concentrations.assign(49, 0.0);
    path.concentrations[0] = 7000.0;
}

SensorHubUnderTest::~SensorHubUnderTest()
{
    m_hub.reset();
    for (const QByteArray &type : qAsConst(m_registered))
        QSensorManager::unregisterBackend(type, backendName);
}

void SensorHubUnderTest::registerBuiltIn(const QByteArray &type)
{
    QSensorManager::registerBackend(type, backendName, this);
    m_registered.append(type);
}

FakeSensorBackend *SensorHubUnderTest::backend(const QByteArray &type) const
{
    return static_cast<FakeSensorBackend *>(m_created.value(type).data());
}

Sensors *SensorHubUnderTest::makeHub(const QString &iioRoot)
{
    if (!iioRoot.isEmpty())
        qputenv("KOLVEX_IIO_ROOT", iioRoot.toUtf8());
    m_hub = std::make_unique<Sensors>(nullptr, m_params.get());
    qputenv("KOLVEX_IIO_ROOT", m_emptyIio.path().toUtf8());
    return m_hub.get();
}

void SensorHubUnderTest::tick(int times)
{
    for (int i = 0; i < times; ++i)
        m_hub->getUpdatedReadings();
}

QSensorBackend *SensorHubUnderTest::createBackend(QSensor *sensor)
{
    auto *backend = new FakeSensorBackend(sensor, sensor->type());
    m_created[sensor->type()] = backend;
    return backend;
}
