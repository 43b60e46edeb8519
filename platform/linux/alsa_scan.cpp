#include "platform/linux/alsa_scan.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <set>

#include "platform/linux/alsa_quiet.h"

namespace {
void scanCard(int card, std::vector<AlsaPcmEntry>& out) {
  snd_ctl_t* ctl = nullptr;
  std::string ctlName = "hw:" + std::to_string(card);
  if (snd_ctl_open(&ctl, ctlName.c_str(), SND_CTL_NONBLOCK) < 0) return;
  snd_ctl_card_info_t* cardInfo = nullptr;
  snd_pcm_info_t* pcmInfo = nullptr;
  if (snd_ctl_card_info_malloc(&cardInfo) == 0 && snd_pcm_info_malloc(&pcmInfo) == 0 &&
      snd_ctl_card_info(ctl, cardInfo) == 0) {
    std::string cardId = snd_ctl_card_info_get_id(cardInfo);
    std::string cardName = snd_ctl_card_info_get_name(cardInfo);
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
      snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pcmInfo, 0);
      snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_CAPTURE);
      if (snd_ctl_pcm_info(ctl, pcmInfo) < 0) continue;  // no capture side
      std::string id = "hw:CARD=" + cardId + ",DEV=" + std::to_string(device);
      std::string pcmName = snd_pcm_info_get_name(pcmInfo);
      out.push_back({id, id, pcmName.empty() ? cardName : cardName + ": " + pcmName, true, card, device});
    }
  }
  if (pcmInfo != nullptr) snd_pcm_info_free(pcmInfo);
  if (cardInfo != nullptr) snd_ctl_card_info_free(cardInfo);
  snd_ctl_close(ctl);
}

std::string hintValue(const void* hint, const char* key) {
  char* value = snd_device_name_get_hint(hint, key);
  if (value == nullptr) return "";
  std::string text = value;
  std::free(value);
  return text;
}

// Card-specific variants (plughw:, sysdefault:CARD=..., dsnoop:...) would list
// each card again under other names: the card's own entries stand for them.
bool cardVariant(const std::string& name) { return name.find("CARD=") != std::string::npos; }

bool mentionsAny(const std::string& lowered, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(),
                     [&](const char* word) { return lowered.find(word) != std::string::npos; });
}

// A hint without a direction stands for both, yet sound servers give their
// output-first aliases none: `default` ("Default ALSA Output (currently
// PipeWire Media Server)") opens for capture too, but only ever as another
// listed device under a name that reads as an output. Such PCMs count as
// inputs only when their hint says so.
bool outputAlias(const std::string& name, const std::string& description) {
  if (name == "default" || name == "sysdefault") return true;
  std::string lowered = description;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return mentionsAny(lowered, {"output", "playback", "speaker", "headphone"}) &&
         !mentionsAny(lowered, {"input", "capture", "record", "mic"});
}

void scanHints(std::vector<AlsaPcmEntry>& out) {
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    std::string name = hintValue(*hint, "NAME");
    std::string ioid = hintValue(*hint, "IOID");
    if (name.empty() || name == "null" || cardVariant(name)) continue;
    if (!ioid.empty() && ioid != "Input") continue;
    std::string description = hintValue(*hint, "DESC");
    description = description.substr(0, description.find('\n'));
    if (ioid.empty() && outputAlias(name, description)) continue;
    out.push_back({name, name, description.empty() ? name : description, false});
  }
  snd_device_name_free_hint(hints);
}

// The advertised PCMs depend on the configuration alone (card variants are
// left out), and asking for them parses every configuration file and visits
// every card: they are asked again only when the configuration changed, by our
// update or by any other ALSA user's, which replaces the global tree.
struct HintCache {
  std::mutex lock;
  bool valid = false;
  const snd_config_t* tree = nullptr;
  std::vector<AlsaPcmEntry> entries;
};

std::vector<AlsaPcmEntry> advertisedPcms() {
  static auto* cache = new HintCache;
  std::lock_guard guard(cache->lock);
  bool changed = snd_config_update() > 0;  // reloads files that changed since the last update
  if (changed || !cache->valid || cache->tree != snd_config) {
    cache->entries.clear();
    scanHints(cache->entries);
    cache->tree = snd_config;
    cache->valid = true;
  }
  return cache->entries;
}
}  // namespace

std::vector<AlsaPcmEntry> scanAlsaPcms() {
  quietAlsa();
  auto advertised = advertisedPcms();
  std::vector<AlsaPcmEntry> found;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) scanCard(card, found);
  found.insert(found.end(), advertised.begin(), advertised.end());

  std::vector<AlsaPcmEntry> entries;
  std::set<std::string> seen;
  for (auto& entry : found)
    if (seen.insert(entry.uid).second) entries.push_back(std::move(entry));
  return entries;
}
