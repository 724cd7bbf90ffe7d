#pragma once

#include <QLatin1StringView>

// Why a measurement failed, as ProbeOutcome::failure words it. A probe may add detail after
// a colon ("invalid address: no share named"); tests and callers match the part before it.
namespace ProbeFailure {

// Any kind of address.
inline constexpr QLatin1StringView InvalidAddress{"invalid address"};
inline constexpr QLatin1StringView UnsupportedAddress{"unsupported kind of address"};
inline constexpr QLatin1StringView TimedOut{"timed out"};
inline constexpr QLatin1StringView EarlierProbeStillWaiting{
    "an earlier probe of this address has not returned"};
inline constexpr QLatin1StringView NoSize{"the volume reports no size"};
inline constexpr QLatin1StringView NoSuchFolder{"no such folder"};
inline constexpr QLatin1StringView NotAFolder{"not a folder"};
inline constexpr QLatin1StringView AccessDenied{"access denied"};
inline constexpr QLatin1StringView FiguresTooLarge{"figures too large"};

// Reaching a server.
inline constexpr QLatin1StringView HostNotFound{"host not found"};
inline constexpr QLatin1StringView ConnectionRefused{"connection refused"};
inline constexpr QLatin1StringView HostUnreachable{"host unreachable"};

// SMB shares.
inline constexpr QLatin1StringView LogonFailure{"logon failure"};
inline constexpr QLatin1StringView GuestAccessDenied{"guest access denied"};
inline constexpr QLatin1StringView NoSuchShare{"no such share"};
inline constexpr QLatin1StringView SmbWorkerMissing{"the SMB worker program is missing"};
inline constexpr QLatin1StringView SmbWorkerFailed{"the SMB worker program failed"};

// SSH hosts.
inline constexpr QLatin1StringView HostKeyUnknown{"host key unknown"};
inline constexpr QLatin1StringView HostKeyChanged{"host key changed"};
inline constexpr QLatin1StringView HostKeyRevoked{"host key revoked"};
inline constexpr QLatin1StringView AuthenticationFailed{"authentication failed"};
inline constexpr QLatin1StringView SshFailed{"SSH connection failed"};
inline constexpr QLatin1StringView NoFreeSpaceReport{"the server cannot report free space"};

} // namespace ProbeFailure
