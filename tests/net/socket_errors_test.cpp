#include "net/socket_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <string>

namespace {

TEST(SocketErrors, EveryPlatformErrorHasItsNumberAndAText) {
  const struct {
    int errnoValue;
    int code;
  } rows[] = {
      {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},
      {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},
      {EWOULDBLOCK, 10035},     {EAGAIN, 10035},          {EINPROGRESS, 10036},
      {EALREADY, 10037},        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
      {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
      {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
      {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
      {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},        {ENETUNREACH, 10051},
      {ENETRESET, 10052},       {ECONNABORTED, 10053},    {ECONNRESET, 10054},
      {ENOBUFS, 10055},         {EISCONN, 10056},         {ENOTCONN, 10057},
      {ESHUTDOWN, 10058},       {EPIPE, 10058},           {ETOOMANYREFS, 10059},
      {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},    {ELOOP, 10062},
      {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
      {ENOTEMPTY, 10066},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TranslateErrno(row.errnoValue), row.code) << row.errnoValue;
    EXPECT_NE(std::string(SocketErrorMessage(row.code)), "") << row.code;
  }
  // No error stays no error; one without a counterpart keeps its value and has no text.
  EXPECT_EQ(TranslateErrno(0), 0);
  EXPECT_EQ(TranslateErrno(ENOMEM), ENOMEM);
  EXPECT_STREQ(SocketErrorMessage(ENOMEM), "");
}

TEST(SocketErrors, LookupResultsAndTheirTexts) {
  const struct {
    int lookupResult;
    int errnoValue;
    int code;
    const char* text;
  } rows[] = {
      {0, 0, 0, ""},
      {EAI_NONAME, 0, kErrHostNotFound, "Host not found."},
      {EAI_ADDRFAMILY, 0, kErrHostNotFound, "Host not found."},
      {EAI_AGAIN, 0, kErrTryAgain, ""},
      {EAI_FAIL, 0, kErrNoRecovery, ""},
      {EAI_MEMORY, 0, kErrNoBufferSpace, "No buffer space available."},
      {EAI_SYSTEM, ETIMEDOUT, kErrTimedOut, "Connection timed out."},
  };
  for (const auto& row : rows) {
    const int code = TranslateLookupError(row.lookupResult, row.errnoValue);
    EXPECT_EQ(code, row.code) << row.lookupResult;
    EXPECT_STREQ(SocketErrorMessage(code), row.text) << row.lookupResult;
  }
}

TEST(SocketErrors, StartUpNumbersHaveNoText) {
  for (int code : {kErrSystemNotReady, kErrVersionNotSupported, kErrNotInitialised})
    EXPECT_STREQ(SocketErrorMessage(code), "") << code;
}

}  // namespace
