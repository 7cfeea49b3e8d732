#include "rescue/web_client.h"

TWebClient::TWebClient(const TClientOptions& options) {
  ApplyClientOptions(http_, tls_, options);
}
