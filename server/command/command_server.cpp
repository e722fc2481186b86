#include "command/command_server.h"

#include <cstdio>

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/utf.h"
#include "platform/clock.h"

namespace velmor {
namespace {

// Status texts are kept to 259 characters, as the status bar shows them.
constexpr size_t kStatusTextMax = 259;

uint32_t PackedAddress(const platform::Ipv4Address& address) {
  return static_cast<uint32_t>(address.bytes[0]) << 24 |
         static_cast<uint32_t>(address.bytes[1]) << 16 |
         static_cast<uint32_t>(address.bytes[2]) << 8 | address.bytes[3];
}

std::string FormatDisconnected(const std::string& reason) {
  std::string text = kTextDisconnectedFormat;
  text.replace(text.find("%s"), 2, reason);
  return text;
}

}  // namespace

CommandServer::CommandServer(ServerHost* host, Settings* settings, Clock clock)
    : host_(host), settings_(settings), clock_(clock != nullptr ? clock : &platform::TickCount) {
  scratch_.resize(kScratchSize);
  networking_ = platform::StartNetworking();
  if (!session_thread_.Start(nullptr, &SessionPassCallback, nullptr, this)) Release();
}

CommandServer::~CommandServer() {
  {
    // The search job goes first: its worker reads the data table.
    std::lock_guard<std::recursive_mutex> lock(lock_);
    search_.reset();
  }
  session_thread_.Stop();
  Release();
  if (networking_) platform::StopNetworking();
}

bool CommandServer::StartCommandListener(uint16_t port) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!listener_.ListenTcp(port, 1)) {
      Release();
      return false;
    }
    favourites_ = std::make_unique<CChannelList>();
    search_results_ = std::make_unique<CChannelList>();
    word_list_ = std::make_unique<WordList>();
    thumbnails_ = std::make_unique<ThumbnailManager>();
    data_table_ = std::make_unique<DataTable>();
    thumbnails_->SetDataTable(data_table_.get());
  }
  ApplyServerSettings();
  connected_ = false;
  authenticated_ = false;
  PostStatusEvent(kStatusNone, "", "");
  listening_ = true;
  PostStatusEvent(kStatusWaiting, kTextWaiting, "");
  return true;
}

void CommandServer::ApplyServerSettings() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const S_CONFIG config = settings_->Copy();
  ResolveFolderSetting(config.pcTrimPath);
  BindChannelLists(config);
  PublishMediaExtensions(config);
  live_timeout_ms_ = static_cast<uint32_t>(config.iLiveTimeOutSec) * 1000u;
  if (suspended_) {
    suspended_ = false;
    suspension_changed_ = true;
  }
  server_log_.Apply(config.iServerLog);
  if (word_list_) {
    std::string word_file;
    ResolveFileSetting(config.pcWordListPath, "WordList.txt", &word_file);
    word_list_->SetFile(word_file);
    // Changes not yet saved are merged with the file, not dropped.
    if (word_list_->dirty()) {
      word_list_->Save();
    } else {
      word_list_->Load();
    }
  }
  const std::string thumbnail_folder = ResolveFolderSetting(config.pcThumbnailPath220);
  if (thumbnails_) {
    ThumbnailManager::Settings thumbnail_settings = ThumbnailManager::SettingsFor(
        this, thumbnail_folder, ResolveFolderSetting(config.pcFFMpegPath));
    thumbnail_settings.use_ffmpeg = config.iUseFFMpeg == 1;
    // The worker's own copies, as the stream thread has its snapshot.
    thumbnail_settings.video = media_->video;
    thumbnail_settings.audio = media_->audio;
    thumbnail_settings.image = media_->image;
    thumbnails_->Configure(thumbnail_settings);
  }
  if (data_table_) {
    data_table_->Open({config.iDataTableDeviceID, config.pcDataTablePath, thumbnail_folder});
  }
}

// The last channel of each list type wins.
void CommandServer::BindChannelLists(const S_CONFIG& config) {
  if (!favourites_ || !search_results_) return;
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const S_CONFIG_CH& entry = config.channel[channel];
    std::string file;
    if (entry.iType == kChannelSearchList) {
      ResolveFileSetting(entry.pcPath, "search.vrl", &file);
      search_results_->Bind(channel, CChannelList::kSearchList, file, 0);
    } else if (entry.iType == kChannelFavourites) {
      ResolveFileSetting(entry.pcPath, "favorite.vrl", &file);
      favourites_->Bind(channel, CChannelList::kFavourites, file, 0);
    }
  }
}

void CommandServer::PostStatusEvent(int code, const std::string& first_text,
                                    const std::string& second_text) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  status_.code = code;
  status_.first_text = CutToUtf16Units(first_text, kStatusTextMax);
  status_.second_text = CutToUtf16Units(second_text, kStatusTextMax);
  if (code >= 0) WriteEventLine(code, status_.first_text, status_.second_text);
}

bool CommandServer::TakeStatusEvent(StatusEvent* event) {
  std::unique_lock<std::recursive_mutex> lock(lock_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  *event = status_;
  status_ = StatusEvent();
  return true;
}

void CommandServer::WriteEventLine(int code, const std::string& first_text,
                                   const std::string& second_text) {
  if (!server_log_.IsOpen()) return;
  char code_text[16];
  std::snprintf(code_text, sizeof code_text, "0x%04X", static_cast<unsigned>(code));
  server_log_.WriteLine(
      ServerLog::Tagged("EVENT", std::string("code=") + code_text + ", msg1=\"" + first_text +
                                     "\", msg2=\"" + second_text + "\""),
      kLogEventBodyMax);
}

void CommandServer::EndSession(const std::string& reason) {
  if (client_.IsOpen()) {
    client_.Close();
    std::lock_guard<std::recursive_mutex> lock(lock_);
    status_.code = kStatusDisconnected;
    status_.first_text = CutToUtf16Units(FormatDisconnected(reason), kStatusTextMax);
    status_.second_text = connected_ ? peer_.ToString() : kNoPeerAddress;
    WriteEventLine(status_.code, status_.first_text, status_.second_text);
  }
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (data_table_ && data_table_->dirty()) data_table_->Save();
  if (word_list_ && word_list_->dirty()) word_list_->Save();
  if (thumbnails_) thumbnails_->ClearRequests();
  ResetSessionState();
  server_log_.Flush();
}

// What a session begins and ends with: no player, nothing received or
// queued.
void CommandServer::ResetSessionState() {
  forced_disconnect_ = false;
  connected_ = false;
  authenticated_ = false;
  handshake_.authenticated = false;
  recv_fill_ = 0;
  packet_ = PacketView();
  cursor_ = ChunkCursor();
  if (send_) send_->Reset();
}

void CommandServer::Release() {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    listening_ = false;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (send_) {
      send_->Flush();
      send_.reset();
    }
  }
  EndSession(kReasonRelease);
  listener_.Close();
  ReleaseLibrary();
}

void CommandServer::ReleaseLibrary() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  search_.reset();
  thumbnails_.reset();
  data_table_.reset();
  favourites_.reset();
  search_results_.reset();
  word_list_.reset();
  if (server_log_.IsOpen()) server_log_.WriteShutdownAndClose();
}

void CommandServer::set_suspended(bool suspended) {
  suspended_ = suspended;
  suspension_changed_ = true;
}

SearchManager* CommandServer::CreateSearchManager() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (search_) return search_.get();
  auto manager = std::make_unique<SearchManager>(data_table_.get());
  if (!manager->Start()) return nullptr;
  search_ = std::move(manager);
  return search_.get();
}

uint16_t CommandServer::port() const { return listener_.IsOpen() ? listener_.LocalPort() : 0; }

std::string CommandServer::peer_address() const {
  return connected_ ? peer_.ToString() : kNoPeerAddress;
}

// The session clears the flag before it publishes another address, so an
// address read between two set flags is the admitted player's.
bool CommandServer::AdmitsPeer(const platform::Ipv4Address& peer) const {
  if (!authenticated_.load()) return false;
  const bool same_machine = player_address_.load() == PackedAddress(peer);
  return same_machine && authenticated_.load();
}

bool CommandServer::IsMediaPath(const std::string& path) const {
  std::shared_ptr<const MediaExtensions> sets;
  {
    std::lock_guard<std::mutex> lock(media_lock_);
    sets = media_;
  }
  return sets->Sets().IsMedia(path);
}

void CommandServer::PublishPlayerAddress(const platform::Ipv4Address& peer) {
  player_address_.store(PackedAddress(peer));
}

// Parsed anew and swapped in whole; the sets replaced go when their last
// reader lets go, outside the lock.
void CommandServer::PublishMediaExtensions(const S_CONFIG& config) {
  auto parsed = std::make_shared<MediaExtensions>();
  parsed->video.Parse(config.pcExt);
  parsed->audio.Parse(config.pcAudioExt);
  parsed->image.Parse(config.pcImageExt);
  std::shared_ptr<const MediaExtensions> sets = std::move(parsed);
  std::lock_guard<std::mutex> lock(media_lock_);
  media_.swap(sets);
}

}  // namespace velmor
