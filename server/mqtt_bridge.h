// The instrument on the broker: the link's state and live reports out,
// commands in, queued with the relay's and SCPI's requests.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "server/mqtt_settings.h"
#include "server/soft_limits.h"

struct InstrumentWorker;
struct MqttBridge;

// Before the worker starts: observes it, and publishes once the prefix is
// known (at once when given, else at the first identification). Null with
// the reason when it cannot (a build without MQTT, settings libmosquitto
// refuses). log gets the broker link's lines for stdout.
std::shared_ptr<MqttBridge> StartMqttBridge(InstrumentWorker* worker, const MqttSettings& settings,
                                            const SoftLimits& limits,
                                            std::function<void(const std::string&)> log,
                                            std::string* error);

// Before the worker stops: link down and offline on the broker, and nothing
// more taken from it or published.
void StopMqttBridge(MqttBridge* bridge);
