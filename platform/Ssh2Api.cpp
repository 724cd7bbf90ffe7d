#include "platform/Ssh2Api.h"

#include "platform/OnDemandLibrary.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct LoadedSsh2 {
    OnDemandLibrary library{u"ssh2"_s, 1};
    Ssh2Api api;
    QString failure;

    LoadedSsh2()
    {
        decltype(&::libssh2_init) init = nullptr;
        library.resolve(init, "libssh2_init");
        library.resolve(api.free, "libssh2_free");
        library.resolve(api.sessionInit, "libssh2_session_init_ex");
        library.resolve(api.sessionSetBlocking, "libssh2_session_set_blocking");
        library.resolve(api.sessionSetTimeout, "libssh2_session_set_timeout");
        library.resolve(api.sessionSupportedAlgs, "libssh2_session_supported_algs");
        library.resolve(api.sessionMethodPref, "libssh2_session_method_pref");
        library.resolve(api.sessionHandshake, "libssh2_session_handshake");
        library.resolve(api.sessionHostkey, "libssh2_session_hostkey");
        library.resolve(api.sessionLastError, "libssh2_session_last_error");
        library.resolve(api.sessionLastErrno, "libssh2_session_last_errno");
        library.resolve(api.sessionDisconnect, "libssh2_session_disconnect_ex");
        library.resolve(api.sessionFree, "libssh2_session_free");
        library.resolve(api.agentInit, "libssh2_agent_init");
        library.resolve(api.agentConnect, "libssh2_agent_connect");
        library.resolve(api.agentListIdentities, "libssh2_agent_list_identities");
        library.resolve(api.agentGetIdentity, "libssh2_agent_get_identity");
        library.resolve(api.agentUserauth, "libssh2_agent_userauth");
        library.resolve(api.agentDisconnect, "libssh2_agent_disconnect");
        library.resolve(api.agentFree, "libssh2_agent_free");
        library.resolve(api.userauthPublickeyFromfile, "libssh2_userauth_publickey_fromfile_ex");
        library.resolve(api.sftpInit, "libssh2_sftp_init");
        library.resolve(api.sftpStat, "libssh2_sftp_stat_ex");
        library.resolve(api.sftpStatvfs, "libssh2_sftp_statvfs");
        library.resolve(api.sftpLastError, "libssh2_sftp_last_error");
        library.resolve(api.sftpShutdown, "libssh2_sftp_shutdown");
        if (library.error().isEmpty() && init(0) != 0)
            failure = u"libssh2 could not be initialised"_s;
        else
            failure = library.error();
    }
};

} // namespace

const Ssh2Api* ssh2Api(QString* whyNot)
{
    // Built once, by whichever thread asks first; the others wait for it.
    static const LoadedSsh2 loaded;
    return functionsOrReason(loaded.api, loaded.failure, whyNot);
}
