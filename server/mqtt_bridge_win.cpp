#include "server/mqtt_bridge.h"

std::shared_ptr<MqttBridge> StartMqttBridge(InstrumentWorker*, const MqttSettings&,
                                            const SoftLimits&,
                                            std::function<void(const std::string&)>,
                                            std::string* error) {
  *error = "--mqtt: this build has no MQTT (the Linux build has)";
  return nullptr;
}

void StopMqttBridge(MqttBridge*) {}
