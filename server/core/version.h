// The version facts the server shows and sends, and the two copyright texts
// of the handshake, in one place.
#pragma once

namespace velmor {

inline constexpr char kProductName[] = "VelmorVR Server";
inline constexpr char kAppVersion[] = "2.21";
inline constexpr int kProtocolVersion = 220;
inline constexpr char kProtocolVersionText[] = "220";
inline constexpr char kBuildDate[] = "Oct 23 2022";

// What the player sends at the handshake and the server compares exactly.
inline constexpr char kPlayerCopyright[] = "Copyright (C) VelmorVR";
// What the server sends back with its version.
inline constexpr char kServerCopyright[] =
    "VelmorVR Server Copyright (C) 2022 VelmorVR. All rights reserved.";

inline constexpr char kSettingsFileName[] = "VelmorVRServer.ini";

}  // namespace velmor
