#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "server/mqtt_link.h"

struct MqttLink {
  mosquitto* mosq = nullptr;
  std::string where;  // HOST:PORT, for the log
  std::string status_topic;
  std::string command_topic;
  MqttHandlers handlers;
  std::string last_report;
  std::atomic<bool> connected{false};
  std::mutex mutex;
  std::condition_variable published;
  int offline_mid = -1;
  bool offline_sent = false;
};

namespace {

constexpr int kKeepAliveSeconds = 10;
constexpr unsigned kReconnectDelaySeconds = 1;
constexpr unsigned kReconnectDelayMaxSeconds = 2;
constexpr auto kStopWait = std::chrono::seconds(1);

const char* const kOnline = "online";
const char* const kOffline = "offline";

// Once while it stays the same: a broker that keeps refusing is said once.
void Report(MqttLink* link, const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(link->mutex);
    if (line == link->last_report) return;
    link->last_report = line;
  }
  if (link->handlers.report) link->handlers.report(line);
}

int PublishText(mosquitto* mosq, int* mid, const std::string& topic, const std::string& payload,
                int qos, bool retain) {
  return mosquitto_publish(mosq, mid, topic.c_str(), static_cast<int>(payload.size()),
                           payload.data(), qos, retain);
}

void OnConnect(mosquitto* mosq, void* context, int result) {
  auto* link = static_cast<MqttLink*>(context);
  if (result != 0) {
    // libmosquitto tries again after its delay.
    Report(link, "mqtt refused by " + link->where + ": " + mosquitto_connack_string(result));
    return;
  }
  mosquitto_subscribe(mosq, nullptr, link->command_topic.c_str(), 1);
  PublishText(mosq, nullptr, link->status_topic, kOnline, 1, true);
  link->connected = true;
  Report(link, "mqtt connected " + link->where);
  if (link->handlers.connected) link->handlers.connected();
}

void OnDisconnect(mosquitto*, void* context, int result) {
  auto* link = static_cast<MqttLink*>(context);
  // 0: our own disconnect, at the stop.
  if (!link->connected.exchange(false) || result == 0) return;
  Report(link, "mqtt lost " + link->where + ": " + mosquitto_strerror(result));
}

void OnMessage(mosquitto*, void* context, const mosquitto_message* message) {
  auto* link = static_cast<MqttLink*>(context);
  if (link->handlers.command) {
    link->handlers.command(
        std::string(static_cast<const char*>(message->payload), message->payloadlen));
  }
}

void OnPublish(mosquitto*, void* context, int mid) {
  auto* link = static_cast<MqttLink*>(context);
  std::lock_guard<std::mutex> lock(link->mutex);
  if (mid != link->offline_mid) return;
  link->offline_sent = true;
  link->published.notify_all();
}

bool Refused(int result, const char* what, std::string* error) {
  if (result == MOSQ_ERR_SUCCESS) return false;
  *error = std::string(what) + ": " + mosquitto_strerror(result);
  return true;
}

}  // namespace

MqttLink* CreateMqttLink(const MqttSettings& settings, const std::string& status_topic,
                         const std::string& command_topic, MqttHandlers handlers,
                         std::string* error) {
  mosquitto_lib_init();
  auto* link = new MqttLink;
  link->where = settings.host + ":" + std::to_string(settings.port);
  link->status_topic = status_topic;
  link->command_topic = command_topic;
  link->handlers = std::move(handlers);
  link->mosq = mosquitto_new(nullptr, true, link);
  mosquitto* mosq = link->mosq;
  const char* user = settings.user.empty() ? nullptr : settings.user.c_str();
  const char* password = user == nullptr ? nullptr : settings.password.c_str();
  const bool refused =
      mosq == nullptr ||
      Refused(mosquitto_will_set(mosq, status_topic.c_str(), 7, kOffline, 1, true), "--mqtt-prefix",
              error) ||
      Refused(mosquitto_username_pw_set(mosq, user, password), "--mqtt-user", error) ||
      (!settings.cafile.empty() &&
       Refused(mosquitto_tls_set(mosq, settings.cafile.c_str(), nullptr, nullptr, nullptr, nullptr),
               ("--mqtt-cafile " + settings.cafile).c_str(), error)) ||
      Refused(mosquitto_reconnect_delay_set(mosq, kReconnectDelaySeconds, kReconnectDelayMaxSeconds,
                                            false),
              "reconnect delay", error) ||
      Refused(mosquitto_loop_start(mosq), "mqtt thread", error);
  if (refused) {
    if (mosq == nullptr) *error = "mqtt: out of memory";
    if (mosq != nullptr) mosquitto_destroy(mosq);
    delete link;
    mosquitto_lib_cleanup();
    return nullptr;
  }
  mosquitto_connect_callback_set(mosq, OnConnect);
  mosquitto_disconnect_callback_set(mosq, OnDisconnect);
  mosquitto_message_callback_set(mosq, OnMessage);
  mosquitto_publish_callback_set(mosq, OnPublish);
  return link;
}

void ConnectMqttLink(MqttLink* link, const MqttSettings& settings) {
  Report(link, "mqtt connecting " + link->where);
  // A broker that is not there yet is tried again by the loop thread.
  const int result =
      mosquitto_connect_async(link->mosq, settings.host.c_str(), settings.port, kKeepAliveSeconds);
  if (result != MOSQ_ERR_SUCCESS) {
    Report(link, "mqtt cannot reach " + link->where + ": " +
                     (result == MOSQ_ERR_ERRNO ? std::string(strerror(errno))
                                               : mosquitto_strerror(result)));
  }
}

bool PublishMqtt(MqttLink* link, const std::string& topic, const std::string& payload, int qos,
                 bool retain) {
  if (link == nullptr || !link->connected) return false;
  return PublishText(link->mosq, nullptr, topic, payload, qos, retain) == MOSQ_ERR_SUCCESS;
}

void StopMqttLink(MqttLink* link) {
  if (link == nullptr) return;
  if (link->connected) {
    std::unique_lock<std::mutex> lock(link->mutex);
    int mid = -1;
    if (PublishText(link->mosq, &mid, link->status_topic, kOffline, 1, true) == MOSQ_ERR_SUCCESS) {
      link->offline_mid = mid;
      link->published.wait_for(lock, kStopWait, [link] { return link->offline_sent; });
    }
  }
  mosquitto_disconnect(link->mosq);
  mosquitto_loop_stop(link->mosq, false);
  mosquitto_destroy(link->mosq);
  delete link;
  mosquitto_lib_cleanup();
}
