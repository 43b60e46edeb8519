// One connection to the PipeWire daemon. Every callback runs on the thread
// loop with its lock held; readers take the same lock, so that lock alone
// guards the graph's state.
#include "platform/linux/pw_graph.h"

#include <pipewire/extensions/metadata.h>
#include <spa/param/audio/raw.h>
#include <spa/param/format.h>
#include <spa/pod/iter.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {
struct Node {
  std::uint32_t nodeId = 0;
  std::uint64_t appeared = 0;
  std::string name, uid;
  pw_proxy* proxy = nullptr;
  spa_hook listener{};
  UInt32 channels = 0;
  std::vector<std::uint32_t> positions;
  bool described = false;  // its formats have come
};

struct Graph {
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_registry* registry = nullptr;
  spa_hook coreListener{}, registryListener{}, settingsListener{};
  pw_proxy* settings = nullptr;
  std::uint32_t settingsId = SPA_ID_INVALID;
  std::map<std::uint32_t, std::unique_ptr<Node>> nodes;
  std::uint64_t appearances = 0;
  std::map<std::string, AudioObjectID> ids;  // kept for the life of the process
  AudioObjectID nextId = 2;                  // 0 is no object, 1 the system object
  double defaultRate = 48000, forcedRate = 0;
  std::vector<double> allowedRates;
  int doneSeq = -1;
  bool lost = false;  // the daemon went away: nothing is present any more
};

Graph& graph() {
  static auto* instance = new Graph;  // never destroyed: the loop thread may outlive main
  return *instance;
}

bool isAudioSource(const char* mediaClass) {
  if (mediaClass == nullptr) return false;
  return std::strcmp(mediaClass, "Audio/Source") == 0 || std::strcmp(mediaClass, "Audio/Source/Virtual") == 0 ||
         std::strcmp(mediaClass, "Audio/Duplex") == 0;
}

// The largest channel count a format offers, and its positions.
void readFormat(Node& node, const spa_pod* param) {
  const spa_pod_prop* channels = spa_pod_find_prop(param, nullptr, SPA_FORMAT_AUDIO_channels);
  if (channels == nullptr) return;
  std::uint32_t count = 0, choice = 0;
  const spa_pod* values = spa_pod_get_values(&channels->value, &count, &choice);
  if (values->type != SPA_TYPE_Int || count == 0) return;
  const auto* ints = static_cast<const std::int32_t*>(SPA_POD_BODY_CONST(values));
  std::int32_t largest = *std::max_element(ints, ints + count);
  if (largest <= 0 || static_cast<UInt32>(largest) <= node.channels) return;
  node.channels = static_cast<UInt32>(largest);
  node.positions.assign(node.channels, SPA_AUDIO_CHANNEL_UNKNOWN);
  if (const spa_pod_prop* position = spa_pod_find_prop(param, nullptr, SPA_FORMAT_AUDIO_position)) {
    std::vector<std::uint32_t> read(SPA_AUDIO_MAX_CHANNELS);
    std::uint32_t got = spa_pod_copy_array(&position->value, SPA_TYPE_Id, read.data(), SPA_AUDIO_MAX_CHANNELS);
    if (got == node.channels) node.positions.assign(read.begin(), read.begin() + got);
  }
}

void onNodeParam(void* data, int, std::uint32_t id, std::uint32_t, std::uint32_t, const spa_pod* param) {
  auto& node = *static_cast<Node*>(data);
  if (id != SPA_PARAM_EnumFormat || param == nullptr || !spa_pod_is_object_type(param, SPA_TYPE_OBJECT_Format)) return;
  readFormat(node, param);
}

const pw_node_events nodeEvents = [] {
  pw_node_events events{};
  events.version = PW_VERSION_NODE_EVENTS;
  events.param = onNodeParam;
  return events;
}();

// "[ 44100 48000 ]" and the like.
std::vector<double> ratesIn(const char* text) {
  std::vector<double> rates;
  while (text != nullptr && *text != '\0') {
    char* end = nullptr;
    double rate = std::strtod(text, &end);
    if (end == text) {
      ++text;
      continue;
    }
    if (rate > 0) rates.push_back(rate);
    text = end;
  }
  return rates;
}

int onSetting(void* data, std::uint32_t subject, const char* key, const char*, const char* value) {
  auto& g = *static_cast<Graph*>(data);
  if (subject != PW_ID_CORE) return 0;
  auto number = [&](double fallback) { return value != nullptr ? std::atof(value) : fallback; };
  if (key == nullptr) {
    g.forcedRate = 0;
  } else if (std::strcmp(key, "clock.rate") == 0) {
    g.defaultRate = number(48000);
  } else if (std::strcmp(key, "clock.force-rate") == 0) {
    g.forcedRate = number(0);
  } else if (std::strcmp(key, "clock.allowed-rates") == 0) {
    g.allowedRates = ratesIn(value);
  }
  return 0;
}

const pw_metadata_events settingsEvents = [] {
  pw_metadata_events events{};
  events.version = PW_VERSION_METADATA_EVENTS;
  events.property = onSetting;
  return events;
}();

void onGlobal(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t, const spa_dict* props) {
  auto& g = *static_cast<Graph*>(data);
  if (props == nullptr) return;
  if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0 && g.settings == nullptr) {
    const char* name = spa_dict_lookup(props, PW_KEY_METADATA_NAME);
    if (name == nullptr || std::strcmp(name, "settings") != 0) return;
    g.settings = static_cast<pw_proxy*>(pw_registry_bind(g.registry, id, type, PW_VERSION_METADATA, 0));
    if (g.settings == nullptr) return;
    g.settingsId = id;
    pw_metadata_add_listener(reinterpret_cast<pw_metadata*>(g.settings), &g.settingsListener, &settingsEvents, &g);
    return;
  }
  if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || !isAudioSource(spa_dict_lookup(props, PW_KEY_MEDIA_CLASS)))
    return;
  const char* uid = spa_dict_lookup(props, PW_KEY_NODE_NAME);
  if (uid == nullptr) return;
  const char* description = spa_dict_lookup(props, PW_KEY_NODE_DESCRIPTION);
  auto node = std::make_unique<Node>();
  node->nodeId = id;
  node->appeared = g.appearances++;
  node->uid = uid;
  node->name = description != nullptr && *description != '\0' ? description : uid;
  node->proxy = static_cast<pw_proxy*>(pw_registry_bind(g.registry, id, type, PW_VERSION_NODE, 0));
  if (node->proxy == nullptr) return;
  auto* proxy = reinterpret_cast<pw_node*>(node->proxy);
  pw_node_add_listener(proxy, &node->listener, &nodeEvents, node.get());
  pw_node_enum_params(proxy, 0, SPA_PARAM_EnumFormat, 0, UINT32_MAX, nullptr);
  auto [found, added] = g.ids.try_emplace(node->uid, g.nextId);
  if (added) ++g.nextId;
  g.nodes[id] = std::move(node);
}

void dropNode(Node& node) {
  spa_hook_remove(&node.listener);
  pw_proxy_destroy(node.proxy);
}

void onGlobalRemove(void* data, std::uint32_t id) {
  auto& g = *static_cast<Graph*>(data);
  if (auto found = g.nodes.find(id); found != g.nodes.end()) {
    dropNode(*found->second);
    g.nodes.erase(found);
  }
  if (id == g.settingsId) {
    spa_hook_remove(&g.settingsListener);
    pw_proxy_destroy(g.settings);
    g.settings = nullptr;
    g.settingsId = SPA_ID_INVALID;
  }
}

const pw_registry_events registryEvents = [] {
  pw_registry_events events{};
  events.version = PW_VERSION_REGISTRY_EVENTS;
  events.global = onGlobal;
  events.global_remove = onGlobalRemove;
  return events;
}();

void onDone(void* data, std::uint32_t id, int seq) {
  auto& g = *static_cast<Graph*>(data);
  if (id != PW_ID_CORE) return;
  g.doneSeq = seq;
  pw_thread_loop_signal(g.loop, false);
}

void onError(void* data, std::uint32_t id, int, int res, const char*) {
  auto& g = *static_cast<Graph*>(data);
  if (id != PW_ID_CORE || res != -EPIPE) return;
  g.lost = true;
  for (auto& [nodeId, node] : g.nodes) dropNode(*node);
  g.nodes.clear();
  pw_thread_loop_signal(g.loop, false);
}

const pw_core_events coreEvents = [] {
  pw_core_events events{};
  events.version = PW_VERSION_CORE_EVENTS;
  events.done = onDone;
  events.error = onError;
  return events;
}();

// Waits, lock held, until the daemon has answered everything asked before.
bool roundTrip(Graph& g, int timeoutMs) {
  if (g.lost) return false;
  int seq = pw_core_sync(g.core, PW_ID_CORE, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (g.doneSeq != seq && !g.lost) {
    auto left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pw_thread_loop_timed_wait(g.loop, static_cast<int>(std::ceil(left)));
  }
  return !g.lost;
}

// Nodes bound in the latest round send their formats in the next one.
bool refresh(Graph& g, int timeoutMs) {
  if (!roundTrip(g, timeoutMs)) return false;
  bool pending = std::any_of(g.nodes.begin(), g.nodes.end(), [](const auto& entry) { return !entry.second->described; });
  if (pending && !roundTrip(g, timeoutMs)) return false;
  for (auto& [id, node] : g.nodes) node->described = true;
  return true;
}

bool connectOnce(Graph& g, int timeoutMs) {
  pw_init(nullptr, nullptr);
  g.loop = pw_thread_loop_new("tavirel.pw", nullptr);
  if (g.loop == nullptr) return false;
  // client.conf leaves the data thread, where capture streams run their
  // process callbacks, at normal priority: under load it misses the graph's
  // cycles and the stream loses quanta. client-rt.conf adds the real-time
  // module, as the other audio clients have it (RTKit or the rlimits decide).
  g.context = pw_context_new(pw_thread_loop_get_loop(g.loop),
                             pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (g.context == nullptr || pw_thread_loop_start(g.loop) < 0) return false;
  pw_thread_loop_lock(g.loop);
  g.core = pw_context_connect(g.context, nullptr, 0);
  bool answered = false;
  if (g.core != nullptr) {
    pw_core_add_listener(g.core, &g.coreListener, &coreEvents, &g);
    g.registry = pw_core_get_registry(g.core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(g.registry, &g.registryListener, &registryEvents, &g);
    answered = refresh(g, timeoutMs);
  }
  pw_thread_loop_unlock(g.loop);
  return answered;
}

constexpr int answerMs = 2000;

std::vector<PwSource> sourcesOf(Graph& g) {
  std::vector<const Node*> present;
  for (const auto& [id, node] : g.nodes)
    if (node->channels > 0) present.push_back(node.get());
  std::sort(present.begin(), present.end(), [](const Node* a, const Node* b) { return a->appeared < b->appeared; });
  std::vector<PwSource> sources;
  for (const auto* node : present)
    sources.push_back({g.ids.at(node->uid), node->nodeId, node->name, node->uid, node->channels, node->positions});
  return sources;
}
}  // namespace

bool pwConnect(int timeoutMs) {
  static bool connected = false;
  static std::once_flag once;
  std::call_once(once, [&] { connected = connectOnce(graph(), timeoutMs); });
  return connected;
}

std::vector<PwSource> pwSources(bool fresh) {
  auto& g = graph();
  PwLoopLocked locked(g.loop);
  // A daemon that is slow to answer (stalled, or busy under load) still has
  // its nodes: only one that went away takes them with it, so a stall is not
  // a disconnected device. The nodes are as the daemon last told them.
  if (fresh) refresh(g, answerMs);
  if (g.lost) return {};
  return sourcesOf(g);
}

std::optional<PwSource> pwSource(AudioObjectID id) {
  auto& g = graph();
  PwLoopLocked locked(g.loop);
  for (auto& source : sourcesOf(g))
    if (source.id == id) return source;
  return std::nullopt;
}

PwClock pwClock() {
  auto& g = graph();
  PwLoopLocked locked(g.loop);
  PwClock clock;
  clock.rate = g.forcedRate > 0 ? g.forcedRate : g.defaultRate;
  clock.allowed = g.allowedRates;
  if (std::none_of(clock.allowed.begin(), clock.allowed.end(), [&](double r) { return std::fabs(r - clock.rate) < 0.5; }))
    clock.allowed.push_back(clock.rate);
  std::sort(clock.allowed.begin(), clock.allowed.end());
  return clock;
}

bool pwRequestRate(double rate) {
  auto clock = pwClock();
  if (std::none_of(clock.allowed.begin(), clock.allowed.end(), [&](double r) { return std::fabs(r - rate) < 0.5; }))
    return false;
  auto& g = graph();
  PwLoopLocked locked(g.loop);
  if (g.settings == nullptr || g.lost) return false;
  auto text = std::to_string(std::lround(rate));
  pw_metadata_set_property(reinterpret_cast<pw_metadata*>(g.settings), PW_ID_CORE, "clock.force-rate", "", text.c_str());
  return roundTrip(g, answerMs);
}

pw_core* pwCore() { return graph().core; }
pw_thread_loop* pwLoop() { return graph().loop; }
