#pragma once

#include "app/kolvexcore.h"

#include <QString>

// Core settings for a test: its own data folder, and service addresses on the
// loopback discard port, where every connection is refused at once, so that no
// test ever reaches the real network.
inline KolvexCore::Settings offlineSettings(const QString &dataFolder)
{
    KolvexCore::Settings settings;
    settings.dataFolder = dataFolder;
    settings.serviceBaseUrl = QStringLiteral("http://127.0.0.1:9");
    settings.productBaseUrl = QStringLiteral("http://127.0.0.1:9");
    return settings;
}
