#pragma once

#include "core/params.h"
#include "fakesensorbackend.h"
#include "sensors/sensors.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSensorBackendFactory>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The sensor hub against sensors the test drives: built-in sensors through a
// QtSensors backend of the test's own (this factory makes them), and none of
// the platform's plugins; no Sense HAT unless a test brings an Industrial I/O
// tree. The path of a fresh parameter store starts at 0.8 atm, 250 K and
// 7000 ppmv of H2O. The tests stop the hub's timer and tick it themselves.
class SensorHubUnderTest : public QSensorBackendFactory
{
public:
    SensorHubUnderTest();
    // The hub goes first, then the test's backends.
    ~SensorHubUnderTest();

    // Built-in sensors of `type` are the test's from here on.
    void registerBuiltIn(const QByteArray &type);
    // The backend made for the hub's sensor of `type`; null before it was made.
    FakeSensorBackend *backend(const QByteArray &type) const;

    Params *params() { return m_params.get(); }
    PathConditions *path() { return &m_params->pathConditions(); }
    // An Industrial I/O tree without devices.
    QString emptyIio() const { return m_emptyIio.path(); }

    // Makes the hub on the parameter store, with the board of the Industrial
    // I/O tree at `iioRoot` (none: the empty tree).
    Sensors *makeHub(const QString &iioRoot = QString());
    Sensors *hub() { return m_hub.get(); }
    // The hub's timer firing `times` times.
    void tick(int times);

    QSensorBackend *createBackend(QSensor *sensor) override;

private:
    QTemporaryDir m_emptyIio;
    QHash<QByteArray, QPointer<QObject>> m_created;
    QList<QByteArray> m_registered;
    std::unique_ptr<Params> m_params;
    std::unique_ptr<Sensors> m_hub;
};
