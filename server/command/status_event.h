// The command server's status events: what the user interface shows in its
// status bar and reacts to (connections, disconnections, errors).
#pragma once

#include <string>

namespace velmor {

enum StatusCode : int {
  kStatusNone = 0,  // also: the listener has started
  kStatusWaiting = 1,
  kStatusConnected = 2,
  kStatusDisconnected = 3,
  kStatusSuspended = 0x10,
  kStatusResumed = 0x11,
  kStatusChannelSaveMismatch = 0x200,
  kStatusFatal = 0x201,
  kStatusProtocolTooOld = 0x211,
  kStatusCopyrightMismatch = 0x212,
  kStatusPasswordMissing = 0x220,
  kStatusPasswordWrong = 0x221,
  kStatusPasswordLocked = 0x222,
  kStatusSendTimeout = 0x230,
  kStatusSaveFailed = 0x240,    // the data table could not be written; retried
  kStatusPortUnusable = 0x250,  // a port of the settings is 0 or above 65535
};

// Codes from here up are only shown; below it the user interface reacts.
inline constexpr int kFirstDisplayOnlyStatus = 256;

struct StatusEvent {
  int code = kStatusNone;
  std::string first_text;
  std::string second_text;
};

// Status texts as the user sees them.
inline constexpr char kTextWaiting[] = "接続待ち";
inline constexpr char kTextConnected[] = "接続中";
inline constexpr char kTextError[] = "エラー";
inline constexpr char kTextFatalError[] = "致命的なエラー";
inline constexpr char kTextCannotSave[] = "保存できません";
inline constexpr char kTextDisconnectedFormat[] = "切断(%s)";
inline constexpr char kTextPortUnusable[] = "ポートを開けません: ";
inline constexpr char kTextPortUnusableHint[] =
    "設定でポート番号を 1～65535 にして、サーバーを再起動してください";
inline constexpr char kNoPeerAddress[] = "non";
inline constexpr char kReasonRelease[] = "Release()";

}  // namespace velmor
