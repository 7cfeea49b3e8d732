#include "net/ssl_engine.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/stack.h"

namespace {

// ALPN offers one protocol: the one this client speaks.
constexpr unsigned char kAlpnHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};
// With read-ahead one receive takes several records at once instead of a header and a body
// per record.
constexpr size_t kReadAheadBytes = 128 * 1024;

bool IsAddressLiteral(const std::string& host) {
  return TNetStack::IsDottedIP(host) || host.find(':') != std::string::npos;
}

}  // namespace

// The BIO under each session moves bytes through the socket handler.
struct TEngineAccess {
  static TNetSSLIOHandlerSocket* HandlerOf(BIO* bio) {
    return static_cast<TNetSSLIOHandlerSocket*>(BIO_get_data(bio));
  }
  static int Read(BIO* bio, char* buffer, int length) {
    BIO_clear_retry_flags(bio);
    return HandlerOf(bio)->ReceiveRaw(buffer, length);
  }
  static int Write(BIO* bio, const char* buffer, int length) {
    BIO_clear_retry_flags(bio);
    return HandlerOf(bio)->SendRaw(buffer, length);
  }
  static long Control(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }
  static int Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
  }
  static BIO_METHOD* Method() {
    static BIO_METHOD* const method = [] {
      BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "net socket");
      BIO_meth_set_read(m, &Read);
      BIO_meth_set_write(m, &Write);
      BIO_meth_set_ctrl(m, &Control);
      BIO_meth_set_create(m, &Create);
      return m;
    }();
    return method;
  }
};

std::string ReasonOf(unsigned long error) {
  const char* reason = ERR_reason_error_string(error);
  return reason ? reason : Format("OpenSSL error %lu", error);
}

TNetSSLIOHandlerSocket::TEngine::~TEngine() {
  if (Session) SSL_free(Session);
  if (Context) SSL_CTX_free(Context);
}

void TNetSSLIOHandlerSocket::TEngine::PrepareContext(const std::string& caFile, bool verifyPeer) {
  if (Context && (ContextCAFile != caFile || ContextVerifies != verifyPeer)) {
    SSL_CTX_free(Context);
    Context = nullptr;
  }
  if (!Context) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context)
      throw ENetSSLProtocolReplyError(0, "TLS is not available: " + ReasonOf(ERR_get_error()));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION);
    // A record without data (a session ticket) must not make a receive wait for more: the
    // server may be waiting for our next request.
    SSL_CTX_clear_mode(context, SSL_MODE_AUTO_RETRY);
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, kReadAheadBytes);
    if (verifyPeer) {
      SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
      const int loaded = caFile.empty()
                             ? SSL_CTX_set_default_verify_paths(context)
                             : SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
      if (loaded != 1) {
        const std::string reason = ReasonOf(ERR_get_error());
        ERR_clear_error();
        SSL_CTX_free(context);
        throw ENetSSLProtocolReplyError(
            0, caFile.empty() ? "Cannot load the system's trusted certificates: " + reason
                              : Format("Cannot load the certificates in %s: %s", caFile.c_str(),
                                       reason.c_str()));
      }
    } else {
      SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    }
    Context = context;
    ContextCAFile = caFile;
    ContextVerifies = verifyPeer;
  }
}

void TNetSSLIOHandlerSocket::TEngine::StartSession(TNetSSLIOHandlerSocket& handler,
                                                   const std::string& serverName, bool verifyPeer) {
  SSL* session = SSL_new(Context);
  BIO* bio = BIO_new(TEngineAccess::Method());
  if (!session || !bio) {
    if (session) SSL_free(session);
    if (bio) BIO_free(bio);
    throw ENetSSLProtocolReplyError(0, "TLS is not available: " + ReasonOf(ERR_get_error()));
  }
  BIO_set_data(bio, &handler);
  SSL_set_bio(session, bio, bio);
  Session = session;

  const bool literal = IsAddressLiteral(serverName);
  if (!literal) SSL_set_tlsext_host_name(session, serverName.c_str());
  SSL_set_alpn_protos(session, kAlpnHttp11, sizeof(kAlpnHttp11));
  if (verifyPeer) {
    X509_VERIFY_PARAM* param = SSL_get0_param(session);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (literal)
      X509_VERIFY_PARAM_set1_ip_asc(param, serverName.c_str());
    else
      X509_VERIFY_PARAM_set1_host(param, serverName.c_str(), 0);
  }
}
