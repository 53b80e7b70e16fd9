// The server's connection to an MQTT broker. libmosquitto keeps it on its
// own thread: connect, keep-alive, reconnect, the last will and TLS are all
// its work, so nothing here ever waits for the broker.
#pragma once
#include <functional>
#include <string>

#include "server/mqtt_settings.h"

struct MqttLink;

struct MqttHandlers {
  // After each connect and reconnect, once the broker accepted us.
  std::function<void()> connected;
  // A message on the command topic.
  std::function<void(const std::string& text)> command;
  // Connected, lost, refused: one line for the server's log.
  std::function<void(const std::string& line)> report;
};

// The link with the last will "offline" on status_topic, subscribing to
// command_topic on each connect; not connecting yet. Null with the reason
// when libmosquitto refuses the settings.
MqttLink* CreateMqttLink(const MqttSettings& settings, const std::string& status_topic,
                         const std::string& command_topic, MqttHandlers handlers,
                         std::string* error);
// Starts connecting; may look the host up first. A broker that is not there
// is tried again about every second, as is a lost one.
void ConnectMqttLink(MqttLink* link, const MqttSettings& settings);

// Queued for the broker's thread; false while not connected (nothing is
// queued then: the connected handler publishes the state afresh).
bool PublishMqtt(MqttLink* link, const std::string& topic, const std::string& payload, int qos,
                 bool retain);

// Publishes "offline" on the status topic (a clean stop sends no will),
// disconnects and frees the link.
void StopMqttLink(MqttLink* link);
