// The player session: random commands, each acknowledged change written
// into the ledger, and after every restart the check of what survived.
#include <algorithm>
#include <set>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "player_client.h"
#include "search_run.h"  // ReplySlots
#include "soak.h"
#include "thumbnails.h"

namespace velmor::soak {
namespace {

using player::Reply;

// Longer than the handshake deadline, so a player queued behind a silent
// connection is still waiting when the slot comes free.
constexpr uint32_t kExchangeMs = kHandshakeDeadlineMs + 5000;
constexpr int kMarkerSlots = 8;
constexpr int kFirstBit = 4;  // state bits 4 to 11 mean nothing to the server itself
constexpr int kBits = 8;
constexpr int64_t kDataTableBoundMs = kSaveBoundMs + kSaveSlackMs;
constexpr int kFavouritesChannel = 7;
constexpr int kFolderChannel = 1;  // the media folder (--pc-folder)
// Listings give files without a record a temporary id, never above this.
constexpr int64_t kTemporaryIdMax = 99999999;

std::string Slot(const std::string& key, int i) {
  return "<" + key + "." + std::to_string(i) + ">";
}

// Marker texts (segments "<en.i>1,<a.i>A,<b.i>B," and points "<en.i>1,<a.i>A,")
// as one value for the ledger, the same however a side writes its slots.
std::string MarkerValue(const std::string& segments, const std::string& points) {
  std::string value;
  const auto add = [&value](const std::string& text, int slot, bool with_b) {
    const auto number = [&](const char* key) {
      return std::to_string(player::FlatNumber(text, Slot(key, slot)).value_or(0));
    };
    const bool on = player::FlatNumber(text, Slot("en", slot)) == 1;
    value += !on ? "off," : number("a") + (with_b ? "-" + number("b") : "") + ",";
  };
  for (int i = 0; i < kMarkerSlots; ++i) add(segments, i, true);
  for (int i = 0; i < kMarkerSlots; ++i) add(points, i, false);
  return value;
}

const std::string kNoMarkers = MarkerValue("", "");

class Player {
 public:
  explicit Player(Soak* soak) : soak_(soak), random_(soak->Random(1)) {
    for (const std::string& name : soak->media.names) {
      platform::FileInfo info;
      platform::GetFileInfo(Path(name), &info);
      sizes_[name] = info.size;
    }
    platform::ReadWholeFile(soak->media.picture, &picture_);
  }

  void Run() {
    while (!soak_->all_stop) {
      if (broken_ || !client_.IsConnected() || soak_->epoch != epoch_) {
        client_.Close();
        broken_ = false;
        if (!Admit()) continue;
        if (soak_->KillCount() > soak_->kills_checked) CheckAfterKill();
        continue;
      }
      if (soak_->drivers_stop) {
        platform::SleepMs(50);
        continue;
      }
      Step();
      platform::SleepMs(10 + static_cast<uint32_t>(random_() % 110));
    }
    client_.Close();
  }

 private:
  std::string Path(const std::string& name) const { return soak_->media.folder + "/" + name; }
  std::string AnyName() {
    return ids_.begin() == ids_.end() ? ""
                                      : std::next(ids_.begin(), random_() % ids_.size())->first;
  }
  int64_t Now() const { return soak_->Now(); }

  // Waits for the server, then connects until admitted; the time the player
  // was kept out counts from its first try.
  bool Admit() {
    while (!soak_->up) {
      if (soak_->all_stop) return false;
      platform::SleepMs(20);
    }
    const int epoch = soak_->epoch;
    const int64_t first_try = Now();
    for (;;) {
      if (soak_->all_stop) return false;
      if (soak_->epoch != epoch || !soak_->up) {
        NoteKeptOut(Now() - first_try);
        return false;
      }
      std::string error;
      if (client_.Connect(platform::Ipv4Address::Loopback(), soak_->command_port, 2000, &error)) {
        client_.set_timeout_ms(kExchangeMs);
        if (client_.Handshake({}).Admitted()) {
          NoteKeptOut(Now() - first_try);
          epoch_ = epoch;
          soak_->admitted_epoch = epoch;
          return true;
        }
        client_.Close();
      }
      platform::SleepMs(200);
    }
  }

  void NoteKeptOut(int64_t ms) {
    Soak::NoteMax(&soak_->max_keepout_ms, ms);
    if (ms > kHandshakeDeadlineMs) soak_->Fail("player kept out", std::to_string(ms) + " ms");
  }

  // False when the exchange broke; a failure unless a kill explains it.
  bool Answered(const Reply& reply, const std::string& what) {
    ++soak_->commands;
    if (reply.complete()) return true;
    broken_ = true;
    if (soak_->epoch == epoch_ && soak_->up)
      soak_->Fail("exchange failed", what + ": " + reply.error);
    return false;
  }

  // An answer with the wrong result.
  void Wrong(const std::string& name, const std::string& detail) {
    soak_->Fail("wrong answer to " + name, detail);
  }

  static std::string Result(const Reply& reply) {
    if (reply.results.empty()) return "no result";
    const player::ResultLine& line = reply.results.back();
    return line.ok ? "OK" : "ERR " + std::to_string(line.code) + " " + line.message;
  }

  // The answer when its result is the expected one.
  std::optional<Reply> Run(const std::string& name, std::vector<std::string> fields,
                           bool ok = true) {
    const std::string first = fields.empty() ? "" : fields[0];
    Reply reply = client_.ExchangeCommand({name, std::move(fields)});
    if (!Answered(reply, name)) return std::nullopt;
    if (reply.LastOk() == ok) return reply;
    Wrong(name, first + ": " + Result(reply));
    return std::nullopt;
  }

  // A channel's records by name, or nothing when it could not be listed.
  std::optional<std::map<std::string, player::ListRecord>> List(int channel) {
    const std::string text = "#CMD_GET_CHANNEL(<ch>" + std::to_string(channel) +
                             ",<sort_name>0,<sort_mode>1,<sort_mode_2nd>1,<flag_media>7)";
    const Reply reply = client_.ExchangeText(text);
    if (!Answered(reply, "#CMD_GET_CHANNEL") || !reply.LastOk()) return std::nullopt;
    std::map<std::string, player::ListRecord> records;
    for (const player::Chunk& chunk : reply.chunks) {
      if (chunk.code != "RTFL") continue;
      std::string error;
      const auto decoded = player::DecodeListRecords(chunk.payload, &error);
      if (!decoded) Wrong("#CMD_GET_CHANNEL", error);
      for (const player::ListRecord& record : decoded.value_or(std::vector<player::ListRecord>{})) {
        records[record.name] = record;
      }
    }
    return records;
  }

  void LearnId(const std::string& name, int64_t id) {
    const auto known = ids_.find(name);
    if (known != ids_.end() && known->second != id) {
      Wrong("#CMD_GET_CHANNEL", "the record of " + name + " changed its id");
    }
    ids_[name] = id;
    ledger_.Record("rec " + name, std::to_string(id), Now() + kDataTableBoundMs, Ledger::kAny);
  }

  std::optional<std::set<std::string>> Words() {
    const auto count = Run("CM_WORDLIST_GETNUM", {});
    if (!count) return std::nullopt;
    const auto slots = player::ReplySlots(*count);
    std::set<std::string> words;
    for (int64_t start = 0; !slots.empty() && start < slots[0].value; start += 32) {
      const auto page = Run("CM_WORDLIST_GETITEMN", {std::to_string(start), "32"});
      if (!page) return std::nullopt;
      if (player::ReplySlots(*page).empty()) break;
      for (const auto& slot : player::ReplySlots(*page)) {
        words.insert(player::FlatString(slot.text, "<id>").value_or("") + " " +
                     player::FlatString(slot.text, "<word>").value_or(""));
      }
    }
    return words;
  }

  std::optional<std::string> Favourites() {
    const auto records = List(kFavouritesChannel);
    if (!records) return broken_ ? std::nullopt : std::optional<std::string>("(unreadable)");
    std::string joined;
    for (const auto& [name, record] : *records) joined += name + "|";
    return joined;
  }

  // The restarted server against the ledger, for the first kill since the
  // last check: the changes of the session that kill ended.
  void CheckAfterKill() {
    const size_t kills = soak_->KillCount();
    const int64_t kill_at = soak_->KillTime(soak_->kills_checked);
    const auto listing = List(kFolderChannel);
    if (!listing) {
      if (!broken_) soak_->Fail("no listing after a restart", "");
      return;
    }
    std::map<std::string, std::string> observed;
    ids_.clear();
    for (const auto& [name, record] : *listing) {
      if (record.id > kTemporaryIdMax) ids_[name] = record.id;
      observed["rec " + name] = record.id > kTemporaryIdMax ? std::to_string(record.id) : "none";
      const uint32_t flags = player::SplitItemWord(record.word).state_flags;
      for (int bit = kFirstBit; bit < kFirstBit + kBits; ++bit) {
        observed["bit " + name + " " + std::to_string(bit)] = (flags >> bit) & 1 ? "1" : "0";
      }
    }
    std::optional<std::set<std::string>> words;
    for (const std::string& item : ledger_.Items()) {
      if (item.rfind("mark ", 0) == 0) {
        const auto markers = LoadMarkers(item.substr(5));
        if (!markers) return;
        observed[item] = *markers;
      } else if (item.rfind("word ", 0) == 0) {
        if (!words && !(words = Words())) return;
        observed[item] = words->count(item.substr(5)) ? "1" : "0";
      } else if (item == "fav") {
        const auto favourites = Favourites();
        if (!favourites) return;
        observed[item] = *favourites;
      }
    }
    const Ledger::Outcome outcome = ledger_.Check(kill_at, observed);
    soak_->changes_checked += outcome.checked;
    soak_->changes_lost += static_cast<int64_t>(outcome.lost.size());
    for (const std::string& lost : outcome.lost) soak_->Fail("changes lost", lost);
    soak_->kills_survived += static_cast<int64_t>(kills - soak_->kills_checked);
    soak_->kills_checked = kills;
  }

  std::optional<std::string> LoadMarkers(const std::string& name) {
    const auto id = ids_.find(name);
    if (id == ids_.end()) return kNoMarkers;  // a record made anew has none
    const auto reply = Run("CM_LOAD_MARKER", {std::to_string(id->second)});
    if (!reply) return std::nullopt;
    const auto slots = player::ReplySlots(*reply);
    if (slots.size() != 2) return "(bad answer)";
    return MarkerValue(slots[0].text, slots[1].text);
  }

  void Step() {
    if (ids_.size() < soak_->media.names.size()) return GetFileIds(soak_->media.names);
    switch (random_() % 16) {
      case 0:
        return ListFolder();
      case 1:
        return GetFileIds(SomeNames(soak_->media.names));
      case 2:
        return GetFileData();
      case 3:
      case 4:
        return SaveMarkers();
      case 5:
        return CheckMarkers();
      case 6:
      case 7:
        return SetBit();
      case 8:
      case 9:
        return ChangeWord();
      case 10:
        return SaveWords();
      case 11:
        return Search();
      case 12:
        return FetchThumbnails();
      case 13:
        return Upload();
      case 14:
        return SaveFavourites();
      default:
        return GetFileData();
    }
  }

  void ListFolder() {
    const auto records = List(kFolderChannel);
    if (!records) return;
    for (const auto& [name, record] : *records) {
      if (record.id > kTemporaryIdMax) LearnId(name, record.id);
    }
    if (records->size() != soak_->media.names.size())
      Wrong("#CMD_GET_CHANNEL", "the folder listing misses files");
  }

  // One to four names, of the files with a known record or of all.
  std::vector<std::string> SomeNames(const std::vector<std::string>& all = {}) {
    std::vector<std::string> names;
    for (int i = 0, n = 1 + static_cast<int>(random_() % 4); i < n; ++i) {
      names.push_back(all.empty() ? AnyName() : all[random_() % all.size()]);
    }
    return names;
  }

  void GetFileIds(const std::vector<std::string>& names) {
    for (size_t first = 0; first < names.size(); first += 4) {
      const std::vector<std::string> some(names.begin() + first,
                                          names.begin() + std::min(first + 4, names.size()));
      std::vector<std::string> paths;
      for (const std::string& name : some) paths.push_back(Path(name));
      const auto reply = Run("CM_GET_FILE_ID", paths);
      if (!reply) return;
      const auto slots = player::ReplySlots(*reply);
      if (slots.size() != some.size()) return Wrong("CM_GET_FILE_ID", "slot count");
      for (size_t i = 0; i < some.size(); ++i) LearnId(some[i], slots[i].value);
    }
  }

  void GetFileData() {
    const std::vector<std::string> names = SomeNames(soak_->media.names);
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(Path(name));
    const auto reply = Run("CM_GET_FILE_DATA", paths);
    if (!reply) return;
    const auto slots = player::ReplySlots(*reply);
    for (size_t i = 0; i < names.size(); ++i) {
      if (i >= slots.size() || slots[i].value != 1 ||
          player::FlatNumber(slots[i].text, "<file_size>") != sizes_[names[i]]) {
        return Wrong("CM_GET_FILE_DATA", names[i]);
      }
    }
  }

  void SaveMarkers() {
    const std::string name = AnyName();
    const bool clear = random_() % 6 == 0;
    std::string segments, points;
    for (int i = 0; i < kMarkerSlots; ++i) {
      const int a = static_cast<int>(random_() % 600000);
      const int b = a + 1 + static_cast<int>(random_() % 60000);
      segments += Slot("en", i) + (!clear && random_() % 3 == 0 ? "1," : "0,") + Slot("a", i) +
                  std::to_string(a) + "," + Slot("b", i) + std::to_string(b) + ",";
      points += Slot("en", i) + (!clear && random_() % 3 == 0 ? "1," : "0,") + Slot("a", i) +
                std::to_string(b) + ",";
    }
    if (!Run("CM_SAVE_MARKER", {std::to_string(ids_[name]), segments, points})) return;
    ledger_.Record("mark " + name, MarkerValue(segments, points), Now() + kDataTableBoundMs,
                   kNoMarkers);
  }

  void CheckMarkers() {
    const std::string name = AnyName();
    const auto loaded = LoadMarkers(name);
    if (!loaded) return;
    const std::string expected = ledger_.Current("mark " + name).value_or(kNoMarkers);
    if (*loaded != expected) Wrong("CM_LOAD_MARKER", name + " gave " + *loaded);
  }

  void SetBit() {
    const std::string name = AnyName();
    const int bit = kFirstBit + static_cast<int>(random_() % kBits);
    const bool on = random_() % 2 == 0;
    if (!Run("CM_DATATABLE_BITSET_STATE",
             {std::to_string(ids_[name]), std::to_string(int64_t{1} << bit), on ? "1" : "0"})) {
      return;
    }
    ledger_.Record("bit " + name + " " + std::to_string(bit), on ? "1" : "0",
                   Now() + kDataTableBoundMs, "0");
  }

  // Word list changes last only through a save (or the session's end).
  void ChangeWord() {
    const std::string id = "soak" + std::to_string(random_() % 3);
    const std::string word = "w" + std::to_string(random_() % 12);
    const std::string item = "word " + id + " " + word;
    const bool present = ledger_.Current(item).value_or("0") == "1";
    const bool add = random_() % 3 != 0;
    if (!Run(add ? "CM_WORDLIST_ADD" : "CM_WORDLIST_DEL", {id, word}, !(add && present))) return;
    ledger_.Record(item, add ? "1" : "0", kNotYetDurable, "0");
  }

  void SaveWords() {
    if (Run("CM_WORDLIST_SAVE", {})) ledger_.MarkSaved("word ", Now());
  }

  // A word search over the media folder, polled until it ends (within a
  // bound, so that a search that never ends cannot hold up the run).
  void Search() {
    static const char* const kQueries[] = {"soak clip", "beach", "big-stream", "STILL"};
    const std::string query = kQueries[random_() % 4];
    if (!Run("CM_SEARCH_FILE", {query, "7"})) return;
    for (int poll = 0;; ++poll) {
      const auto finished = Run("CM_SEARCH_ISFINISHED", {});
      if (!finished) return;
      const auto slots = player::ReplySlots(*finished);
      if (!slots.empty() && slots[0].value == 1) break;
      if (poll == 100) return Wrong("CM_SEARCH_ISFINISHED", query + ": not finished in 10 s");
      platform::SleepMs(100);
    }
    const auto results = Run("CM_SEARCH_GETPATH", {"0", "32"});
    if (results && player::ReplySlots(*results).empty()) Wrong("CM_SEARCH_GETPATH", query);
  }

  void FetchThumbnails() {
    std::vector<player::ThumbnailItem> items;
    for (const std::string& name : SomeNames()) items.push_back({0, ids_[name]});
    const auto chunk = player::MakeThumbnailFetchChunk(player::kThumbnailById, items, nullptr);
    const Reply reply = client_.Exchange({*chunk});
    if (!Answered(reply, "THUM")) return;
    const auto thumbnails = player::CollectThumbnails(reply.chunks, nullptr);
    if (!reply.LastOk() || !thumbnails || thumbnails->size() != items.size())
      Wrong("THUM", Result(reply));
  }

  void Upload() {
    const std::string name = AnyName();
    const auto packets = player::MakeUploadPackets(ids_[name], "<make>3", picture_, nullptr);
    const Reply reply = client_.ExchangePackets(*packets);
    if (Answered(reply, "MKTH") && !reply.LastOk()) {
      Wrong("MKTH", name + " " + std::to_string(ids_[name]) + ": " + Result(reply));
    }
  }

  // A list file, written when the server acknowledges it.
  void SaveFavourites() {
    std::set<std::string> names;
    for (const std::string& name : SomeNames()) names.insert(name);
    std::vector<player::Chunk> chunks = {player::MakeTextChunk("#CMD_SAVE_CHANNEL(<ch>7)")};
    std::string joined;
    for (const std::string& name : names) {
      chunks.push_back(player::MakeTextChunk("#DAT_SAVE_CHANNEL(<fs>" +
                                             std::to_string(sizes_[name]) + ",<path>\"" +
                                             Path(name) + "\")"));
      joined += name + "|";
    }
    chunks.push_back(player::MakeTextChunk("#DAT_END(<no>" + std::to_string(names.size()) + ")"));
    const Reply reply = client_.Exchange(chunks);
    if (!Answered(reply, "#CMD_SAVE_CHANNEL")) return;
    if (!reply.LastOk()) return Wrong("#CMD_SAVE_CHANNEL", Result(reply));
    ledger_.Record("fav", joined, Now(), "");
  }

  Soak* soak_;
  std::mt19937_64 random_;
  player::PlayerClient client_;
  int epoch_ = -1;
  bool broken_ = false;
  Ledger ledger_;
  std::map<std::string, int64_t> ids_;  // file name: record id
  std::map<std::string, int64_t> sizes_;
  std::string picture_;
};

}  // namespace

void RunPlayer(Soak* soak) { Player(soak).Run(); }

}  // namespace velmor::soak
