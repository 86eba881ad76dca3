#include "ui/viewobjects.h"

#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "app/spectraresultsqml.h"
#include "remote/bluetoothspp.h"
#include "sensors/sensors.h"
#include "sensors/sensortag.h"
#include "ui/aboutqml.h"
#include "ui/atmospherelistviewmodel.h"
#include "ui/authenticationqml.h"
#include "ui/bluetoothlistviewmodel.h"
#include "ui/hitrandownloadoptionsqml.h"
#include "ui/instrumentfunctionqml.h"
#include "ui/lineoptionsqml.h"
#include "ui/livecontrolsqml.h"
#include "ui/measuredspectrumqml.h"
#include "ui/mollistviewmodel.h"
#include "ui/mollistviewreducedmodel.h"
#include "ui/notifierqml.h"
#include "ui/optionlistsqml.h"
#include "ui/pathlengthqml.h"
#include "ui/remotecontrolqml.h"
#include "ui/sensorsqml.h"
#include "ui/serialportqml.h"
#include "ui/serialportslistmodel.h"
#include "ui/shareresultsqml.h"
#include "ui/temperatureqml.h"
#include "ui/totalpressqml.h"
#include "ui/wavelengthqml.h"
#include "ui/yaxisqml.h"

#include <QQmlContext>

ViewObjects::ViewObjects(KolvexCore *core)
    : m_core(core)
    , m_about(std::make_unique<AboutQml>(nullptr, core))
    , m_optionLists(std::make_unique<OptionListsQml>())
    , m_atmospheres(std::make_unique<AtmosphereListViewModel>(nullptr, core))
    , m_downloadOptions(std::make_unique<HitranDownloadOptionsQml>(core, core->lineSources()))
    , m_instrumentFunction(std::make_unique<InstrumentFunctionQml>(nullptr, core))
    , m_lineOptions(std::make_unique<LineOptionsQml>(nullptr, core))
    , m_molecules(std::make_unique<MolListViewModel>(nullptr, core))
    , m_reducedMolecules(std::make_unique<MolListViewReducedModel>(nullptr, core))
    , m_notifier(new NotifierQml(core))
    , m_pathLength(std::make_unique<PathlengthQml>(nullptr, core))
    , m_remoteControl(std::make_unique<RemoteControlQml>(nullptr, core->remoteControl(), core->webSockets(),
                                                         core->bluetooth()))
    , m_remoteControlBluetoothList(std::make_unique<BluetoothListViewModel>(nullptr, core->bluetooth()->discovery()))
    , m_serialPort(std::make_unique<SerialPortQml>(nullptr, core))
    , m_serialPorts(std::make_unique<SerialPortsListModel>(nullptr, core))
    , m_sensors(std::make_unique<SensorsQml>(nullptr, core))
    , m_sensorTagDevices(std::make_unique<BluetoothListViewModel>(nullptr, core->sensors()->sensorTag()->discovery()))
    , m_shareResults(std::make_unique<ShareResultsQml>(nullptr, core))
    , m_temperature(std::make_unique<TemperatureQml>(nullptr, core))
    , m_totalPressure(std::make_unique<TotalPressQml>(nullptr, core))
    , m_wavelength(std::make_unique<WavelengthQml>(nullptr, core))
    , m_yAxis(std::make_unique<YAxisQml>(nullptr, core))
    , m_results(std::make_unique<SpectraResultsQml>(nullptr, core))
    , m_authentication(std::make_unique<AuthenticationQml>(nullptr, core))
    , m_liveControls(std::make_unique<LiveControlsQml>(core, m_temperature.get(), m_totalPressure.get(),
                                                       m_pathLength.get(), m_molecules.get()))
    , m_measuredSpectrum(std::make_unique<MeasuredSpectrumQml>(nullptr, core))
{
    // The measured curve follows the calculated one: its quantity, unit and values.
    QObject::connect(m_results.get(), &SpectraResultsQml::curvesChanged, m_measuredSpectrum.get(),
                     &MeasuredSpectrumQml::invalidateOverlay);
    m_shareResults->setMeasuredSource(m_measuredSpectrum.get());
}

ViewObjects::~ViewObjects() = default;

void ViewObjects::publish(QQmlContext *context) const
{
    context->setContextProperty(QStringLiteral("coreObj"), m_core);
    context->setContextProperty(QStringLiteral("aboutQml"), m_about.get());
    context->setContextProperty(QStringLiteral("optionLists"), m_optionLists.get());
    context->setContextProperty(QStringLiteral("atmListViewModel"), m_atmospheres.get());
    context->setContextProperty(QStringLiteral("hitranDownloadOptionsQml"), m_downloadOptions.get());
    context->setContextProperty(QStringLiteral("instrFunctQml"), m_instrumentFunction.get());
    context->setContextProperty(QStringLiteral("lineOptQml"), m_lineOptions.get());
    context->setContextProperty(QStringLiteral("molListViewModel"), m_molecules.get());
    context->setContextProperty(QStringLiteral("molListViewReducedModel"), m_reducedMolecules.get());
    context->setContextProperty(QStringLiteral("notifyQml"), m_notifier);
    context->setContextProperty(QStringLiteral("pathlengthQml"), m_pathLength.get());
    context->setContextProperty(QStringLiteral("remoteControlQml"), m_remoteControl.get());
    context->setContextProperty(QStringLiteral("remoteControlBluetoothListModel"), m_remoteControlBluetoothList.get());
    context->setContextProperty(QStringLiteral("serialPortQml"), m_serialPort.get());
    context->setContextProperty(QStringLiteral("serialPortListModel"), m_serialPorts.get());
    context->setContextProperty(QStringLiteral("sensorsQml"), m_sensors.get());
    context->setContextProperty(QStringLiteral("sensorTagBluetoothListModel"), m_sensorTagDevices.get());
    context->setContextProperty(QStringLiteral("shareResultsQml"), m_shareResults.get());
    context->setContextProperty(QStringLiteral("tempQml"), m_temperature.get());
    context->setContextProperty(QStringLiteral("totalPressQml"), m_totalPressure.get());
    context->setContextProperty(QStringLiteral("wlQml"), m_wavelength.get());
    context->setContextProperty(QStringLiteral("yAxisQml"), m_yAxis.get());
    context->setContextProperty(QStringLiteral("specResultsQml"), m_results.get());
    // Not one of the fixed names: the login of the Authenticate screen.
    context->setContextProperty(QStringLiteral("authenticationQml"), m_authentication.get());
    // Nor these: live mode's switch and state, and the sliders of the main screen.
    context->setContextProperty(QStringLiteral("liveCalculation"), m_core->liveCalculation());
    context->setContextProperty(QStringLiteral("liveControls"), m_liveControls.get());
    // The measured spectrum and its fit, for the Measured spectrum screen.
    context->setContextProperty(QStringLiteral("measuredSpectrumQml"), m_measuredSpectrum.get());
}
