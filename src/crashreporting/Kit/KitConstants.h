#pragma once

// Names of the kit framework. The reverse-DNS ones find stored data again (defaults keys, the data folder):
// they never change.

namespace crashreporting {

/// The library's reverse-DNS prefix of queue labels, lock names, error domains and defaults keys.
inline constexpr const char* kZIZReverseDNSPrefix = "com.zizozu";
/// The folder of the library's files under the XDG data and cache folders.
inline constexpr const char* kZIZDataFolderName = "com.zizozu";

inline constexpr const char* ZIZFrameworkIdentifier = "com.zizozu.sdk.mac";
inline constexpr const char* ZIZFrameworkDisplayVersion = "1.6.13";
inline constexpr const char* ZIZFrameworkBuildVersion = "63";
inline constexpr const char* ZIZPlatform = "mac";
inline constexpr const char* ZIZExceptionName = "ZIZException";

/// The stored-defaults key of the installation identifier.
inline constexpr const char* kZIZInstallationUUIDKey = "com.zizozu.iuuid";

}  // namespace crashreporting
