#pragma once

#include <QString>
#include <QTemporaryDir>

// A folder laid out like /sys/bus/iio/devices for the tests: "iio:deviceN"
// folders holding one small file per attribute, as the kernel's Industrial
// I/O drivers publish their channels. The Sense HAT's two chips come ready
// made, with the attributes the kernel's drivers give them.
class FakeIioTree
{
public:
    FakeIioTree();

    bool isValid() const { return m_folder.isValid(); }
    QString path() const { return m_folder.path(); }

    // Writes one attribute file, creating the device folder as needed.
    bool set(int device, const QString &attribute, const QString &value);
    bool remove(int device, const QString &attribute);
    QString filePath(int device, const QString &attribute) const;
    // Puts a FIFO in the place of an attribute: reading it blocks until
    // something writes to it, as a read from a hung driver does.
    bool makeFifo(int device, const QString &attribute);

    // The LPS25H barometer as the st_pressure driver publishes it: pressure
    // raw counts of 1/40.96 Pa (scale 0.000024414 kPa), temperature raw with
    // offset and scale to milli-degrees Celsius.
    void addPressureChip(int device, int pressureRaw, int temperatureRaw);
    // The HTS221 hygrometer as the hts221 driver publishes it: humidity and
    // temperature raw counts with an offset and a scale each.
    void addHumidityChip(int device, int humidityRaw, int temperatureRaw);

private:
    QTemporaryDir m_folder;
};
