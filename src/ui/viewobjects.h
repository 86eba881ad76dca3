#pragma once


#include <memory>

class AboutQml;
class AtmosphereListViewModel;
class AuthenticationQml;
class BluetoothListViewModel;
class HitranDownloadOptionsQml;
class InstrumentFunctionQml;
class KolvexCore;
class LineOptionsQml;
class LiveControlsQml;
class MeasuredSpectrumQml;
class MolListViewModel;
class MolListViewReducedModel;
class OptionListsQml;
class NotifierQml;
class PathlengthQml;
class QQmlContext;
class RemoteControlQml;
class SensorsQml;
class SerialPortQml;
class SerialPortsListModel;
class ShareResultsQml;
class SpectraResultsQml;
class TemperatureQml;
class TotalPressQml;
class WavelengthQml;
class YAxisQml;

// The objects the QML documents bind to, created for one core and published
// under their fixed context names. The window and the tests build the same set.
class ViewObjects
{
public:
    explicit ViewObjects(KolvexCore *core);
    ~ViewObjects();

    ViewObjects(const ViewObjects &) = delete;
    ViewObjects &operator=(const ViewObjects &) = delete;

    // Sets the context properties in their fixed order.
    void publish(QQmlContext *context) const;

    NotifierQml *notifier() const { return m_notifier; }
    SpectraResultsQml *results() const { return m_results.get(); }
    RemoteControlQml *remoteControl() const { return m_remoteControl.get(); }
    ShareResultsQml *shareResults() const { return m_shareResults.get(); }
    AuthenticationQml *authentication() const { return m_authentication.get(); }
    SensorsQml *sensors() const { return m_sensors.get(); }
    BluetoothListViewModel *sensorTagDevices() const { return m_sensorTagDevices.get(); }
    LiveControlsQml *liveControls() const { return m_liveControls.get(); }
    MeasuredSpectrumQml *measuredSpectrum() const { return m_measuredSpectrum.get(); }

private:
    KolvexCore *m_core;
    std::unique_ptr<AboutQml> m_about;
    std::unique_ptr<OptionListsQml> m_optionLists;
    std::unique_ptr<AtmosphereListViewModel> m_atmospheres;
    std::unique_ptr<HitranDownloadOptionsQml> m_downloadOptions;
    std::unique_ptr<InstrumentFunctionQml> m_instrumentFunction;
    std::unique_ptr<LineOptionsQml> m_lineOptions;
    std::unique_ptr<MolListViewModel> m_molecules;
    std::unique_ptr<MolListViewReducedModel> m_reducedMolecules;
    NotifierQml *m_notifier;   // a child of the core
    std::unique_ptr<PathlengthQml> m_pathLength;
    std::unique_ptr<RemoteControlQml> m_remoteControl;
    std::unique_ptr<BluetoothListViewModel> m_remoteControlBluetoothList;
    std::unique_ptr<SerialPortQml> m_serialPort;
    std::unique_ptr<SerialPortsListModel> m_serialPorts;
    std::unique_ptr<SensorsQml> m_sensors;
    std::unique_ptr<BluetoothListViewModel> m_sensorTagDevices;
    std::unique_ptr<ShareResultsQml> m_shareResults;
    std::unique_ptr<TemperatureQml> m_temperature;
    std::unique_ptr<TotalPressQml> m_totalPressure;
    std::unique_ptr<WavelengthQml> m_wavelength;
    std::unique_ptr<YAxisQml> m_yAxis;
    std::unique_ptr<SpectraResultsQml> m_results;
    std::unique_ptr<AuthenticationQml> m_authentication;
    std::unique_ptr<LiveControlsQml> m_liveControls;
    std::unique_ptr<MeasuredSpectrumQml> m_measuredSpectrum;
};
