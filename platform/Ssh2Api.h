#pragma once

#include <QString>

#include <libssh2.h>
#include <libssh2_sftp.h>

// The libssh2 functions the SFTP probe calls, from libssh2 opened on first use (and
// initialised once for the whole program).
struct Ssh2Api {
    decltype(&::libssh2_free) free = nullptr;
    decltype(&::libssh2_session_init_ex) sessionInit = nullptr;
    decltype(&::libssh2_session_set_blocking) sessionSetBlocking = nullptr;
    decltype(&::libssh2_session_set_timeout) sessionSetTimeout = nullptr;
    decltype(&::libssh2_session_supported_algs) sessionSupportedAlgs = nullptr;
    decltype(&::libssh2_session_method_pref) sessionMethodPref = nullptr;
    decltype(&::libssh2_session_handshake) sessionHandshake = nullptr;
    decltype(&::libssh2_session_hostkey) sessionHostkey = nullptr;
    decltype(&::libssh2_session_last_error) sessionLastError = nullptr;
    decltype(&::libssh2_session_last_errno) sessionLastErrno = nullptr;
    decltype(&::libssh2_session_disconnect_ex) sessionDisconnect = nullptr;
    decltype(&::libssh2_session_free) sessionFree = nullptr;
    decltype(&::libssh2_agent_init) agentInit = nullptr;
    decltype(&::libssh2_agent_connect) agentConnect = nullptr;
    decltype(&::libssh2_agent_list_identities) agentListIdentities = nullptr;
    decltype(&::libssh2_agent_get_identity) agentGetIdentity = nullptr;
    decltype(&::libssh2_agent_userauth) agentUserauth = nullptr;
    decltype(&::libssh2_agent_disconnect) agentDisconnect = nullptr;
    decltype(&::libssh2_agent_free) agentFree = nullptr;
    decltype(&::libssh2_userauth_publickey_fromfile_ex) userauthPublickeyFromfile = nullptr;
    decltype(&::libssh2_sftp_init) sftpInit = nullptr;
    decltype(&::libssh2_sftp_stat_ex) sftpStat = nullptr;
    decltype(&::libssh2_sftp_statvfs) sftpStatvfs = nullptr;
    decltype(&::libssh2_sftp_last_error) sftpLastError = nullptr;
    decltype(&::libssh2_sftp_shutdown) sftpShutdown = nullptr;
};

// The functions, or nullptr with the reason in *whyNot when libssh2 could not be loaded.
const Ssh2Api* ssh2Api(QString* whyNot);
